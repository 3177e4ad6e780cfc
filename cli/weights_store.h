// Which weights file a command reads and which one feedback writes.
//
// The shipped file is shared by every user of an installation, so the
// command never writes it unless it is named with --weights: feedback learns
// into a per-user copy, made from the shipped file on the first feedback,
// and every command reads that copy once it exists.

#ifndef TOKENWEAVE_CLI_WEIGHTS_STORE_H
#define TOKENWEAVE_CLI_WEIGHTS_STORE_H

#include <string>

namespace tokenweave_cli {

// The weights file installed with the command: <exe dir>/../share/tokenweave/
// crlt.dat when it exists, else <exe dir>/../dat/crlt.dat (the build tree,
// and where the library itself looks for hosts).
std::string shipped_weights_path();

// $XDG_DATA_HOME/tokenweave/crlt.dat, or ~/.local/share/tokenweave/crlt.dat
// when XDG_DATA_HOME is unset or not absolute; empty without a home.
std::string user_weights_path();

// The file a command reads: the one named with --weights, else the user
// copy when it exists, else the shipped file.
std::string weights_for_reading(const std::string &named);

// The file feedback writes: the one named, else the user copy. False, with
// *error set, when there is no home for the user copy.
bool weights_for_learning(const std::string &named, std::string *path, std::string *error);

// Makes the user copy at path from the shipped file when it does not exist
// yet, so that it holds every section and not only the learned weights.
// False, with *error naming the path and the reason, when that fails.
bool create_user_copy(const std::string &path, std::string *error);

// Checks that path may be written as a weights file: it does not exist yet,
// or it holds at least one of the weights sections. False, with *error set,
// otherwise.
bool may_write_weights(const std::string &path, std::string *error);

// Removes the user copy. False, with *error set, when it exists and cannot
// be removed; *removed tells whether there was one.
bool reset_user_weights(bool *removed, std::string *error);

}  // namespace tokenweave_cli

#endif  // TOKENWEAVE_CLI_WEIGHTS_STORE_H
