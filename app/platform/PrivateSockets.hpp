#pragma once
// Where this user's local sockets live and who is at the other end of one.
// Thread-safe; calls block briefly (a folder is made and checked).

#include <QString>
#include <QtGlobal>

#include <optional>

namespace tavolune::privatesockets {

// $XDG_RUNTIME_DIR when set; else a folder of our own in the temporary
// directory, made 0700. Empty unless the folder is a real folder (not a
// link) of this user's that no one else may enter.
QString runtimeFolder();

// The user id of the process at the other end of a connected local socket,
// as the kernel recorded it (SO_PEERCRED); nothing when unknown.
std::optional<uint> peerUser(qintptr socketDescriptor);

// This process's user id.
uint currentUser();

}  // namespace tavolune::privatesockets
