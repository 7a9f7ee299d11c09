// SPDX-License-Identifier: Apache-2.0
// Acting as another user, as a hostile local user or a shared folder's other
// owner would: a child process that takes the unprivileged account 65534
// ("nobody") when the tests run as root, and this user's own account
// otherwise (where the tests cannot switch user).
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace quorlin::testing {

inline constexpr uid_t kOtherUser = 65534;
inline constexpr gid_t kOtherGroup = 65534;

inline bool CanSwitchUser() {
  return ::geteuid() == 0;
}

// Becomes the other user, in a child process only.
inline void BecomeOtherUser() {
  if (!CanSwitchUser()) return;
  if (::setgroups(0, nullptr) != 0 || ::setgid(kOtherGroup) != 0 || ::setuid(kOtherUser) != 0)
    ::_exit(126);
}

// Runs act in a child process as the other user; true when it returned true.
inline bool AsOtherUser(const std::function<bool()>& act) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    BecomeOtherUser();
    ::_exit(act() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

}  // namespace quorlin::testing
