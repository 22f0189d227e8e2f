#pragma once

namespace cli {

// Cuts the password out of every smb:// address in this process's own
// arguments, where `ps` and /proc/<pid>/cmdline show it to every user of
// the machine for as long as the program runs: "smb://alice:pw@nas/x"
// becomes "smb://alice@nas/x", padded with NULs to its old length. Copy the
// arguments before; the program never uses a password anyway.
void hideArgumentPasswords(int argc, char* argv[]);

} // namespace cli
