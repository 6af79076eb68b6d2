#pragma once
// Telling the product's own processes from others, and ending them.
// Synchronous, stateless, safe from any thread.

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tw {

// Whether a process with this id exists (one of another user counts too).
bool lebt(pid_t pid);

// The absolute path of the process's executable. Nothing for processes of
// another user: they are never ours, whatever their name.
std::optional<std::string> prozessPfad(pid_t pid);

// The executable path, then the arguments, then the environment strings of
// the process; empty pieces and pieces that are not UTF-8 are left out.
std::vector<std::string> prozessArgumente(pid_t pid);

// Whether the process belongs to the product, by its executable path or, for
// a script interpreter, by its arguments.
bool prozessIstUnser(pid_t pid);

// Sends SIGTERM if the process is ours; otherwise logs that it was spared.
void unserenBeenden(pid_t pid);

// Logs "Prozess <pid> ist nicht unser (<path or ?>) — nicht beendet".
void nichtUnserMelden(pid_t pid);

}  // namespace tw
