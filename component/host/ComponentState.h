#pragma once

#include "platform/records/KeyedRecord.h"

#include <memory>

namespace zpp {

class GLData;
class GLView;
class ResLoader;
class FrmResLoader;

// Process-wide state that all list windows of the process share, in one place.
struct ComponentState {
    // Log-in properties parsed from the property string, and that string.
    RecordPtr PropsCollection;
    QString ParsedPropsString;

    // Language code, once known, and the shared service objects.
    QString LanguageCode;
    std::shared_ptr<GLData> SharedGLData;
    std::shared_ptr<GLView> SharedGLView;
    std::shared_ptr<ResLoader> Loader;
    std::shared_ptr<FrmResLoader> FormResources;

    // Filter conditions of the last confirmed filter dialog.
    RecordPtr FilterConditions;
    // Column definitions of the plan grid and the ones the user may show or hide.
    RecordListPtr PlanColumnSet;
    RecordListPtr PlanChoosableColumns;

    // The merged view of the list and the push that builds on it.
    bool IsMergedView = false;
    RecordListPtr MergedRowVct;
    RecordListPtr EntryRowVct;
    bool IsPushing = false;

    // The last answer of the message dialog (-1 Yes, 0 otherwise).
    qint16 MessageAnswer = 0;
};

ComponentState& State();
// Forgets everything, as a new process would start; for tests.
void ResetState();

} // namespace zpp
