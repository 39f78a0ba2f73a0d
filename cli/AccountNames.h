// Names of accounts and groups for texts shown to the user: the name from
// the system's databases, else the number.
#pragma once

#include <sys/types.h>

#include <string>

namespace tarvel {

std::string userName(uid_t uid);
std::string groupName(gid_t gid);
// True when this process holds `gid` as its group or a supplementary group.
bool processInGroup(gid_t gid);

}  // namespace tarvel
