#pragma once

#include "component/host/HostObjectFactory.h"

class QWidget;

namespace zpp {

// ZELCHMResTool.ClsCHMHelp: shows the user guide at a topic.
class ChmHelp : public ServiceObject {
public:
    virtual void ShowHelp(const QString& helpFile, const QString& topicKey, QWidget* window) = 0;
};

} // namespace zpp
