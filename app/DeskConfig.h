#pragma once

#include <QString>

namespace zpp::app {

// What a desk starts with when the command line does not say: the store and the language. An
// administrator puts them in the system-wide file (/etc/xdg/purchase-plan/purchase-plan.conf),
// so that every desk opens the company's store from the menu; a user's own file in
// ~/.config/purchase-plan/ takes precedence over it, key by key.
struct DeskConfig {
    QString Store;    // an SQLite file or a postgresql:// URL; empty: the demo store
    QString Language; // empty: the system's language
    QString Source;   // the file the store came from, for messages
};

// Reads the files in the order of $XDG_CONFIG_HOME then $XDG_CONFIG_DIRS. A file that exists but
// cannot be read, or does not parse, fails with a zpp::Error naming it: a desk silently falling
// back to its demo store would have a user working on the wrong data.
DeskConfig ReadDeskConfig();

// The file's name below each configuration directory.
inline constexpr const char* kDeskConfigFile = "purchase-plan/purchase-plan.conf";

} // namespace zpp::app
