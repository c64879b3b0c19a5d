#pragma once
// What a replacement keeps of the file it replaces: its owner and group, permissions,
// extended attributes and ACLs; and whether the program may change a file at all.

#include <sys/stat.h>

#include <string>

#include "platform/status.h"

namespace tollwick::platform::posix {

// Gives the open file `fd` the owner and group of `st` as far as the process may: the
// owner needs privilege, the group membership of it. What may not be set stays.
void adoptOwner(int fd, const struct stat& st);

// Copies the extended attributes of the file `model` (POSIX ACLs among them) to the open
// file `fd` (at `host`). Those of the namespaces that need privilege (security, trusted)
// are kept as far as the process may set them; losing any other is a failure.
Status adoptExtendedAttributes(const std::string& model, int fd, const std::string& host);

// A file its owner left no write permission for, or one this process may not write:
// the program reads it but never changes or replaces it.
bool isReadOnly(const std::string& host, const struct stat& st);

}  // namespace tollwick::platform::posix
