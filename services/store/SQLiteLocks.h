#pragma once

namespace zpp::store {

// Makes SQLite's file locks in this process belong to SQLite's own descriptors instead of to the
// process, so that any open and close of a store's file elsewhere in the program (a file dialog
// reading it for its icon, an export browsing the folder) leaves them in place. Other programs
// still see them. Call before the first SQLite connection of the process opens; later calls do
// nothing. Throws an Error when SQLite's file layer cannot be set up so.
void UseDescriptorLocks();

} // namespace zpp::store
