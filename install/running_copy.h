// Which running copy of the launcher a new start hands over to. A copy that runs
// for another Windows user (fast user switching, a terminal server) has no window
// on this desktop: handing over to it would end this start without a word.
#pragma once

#include <functional>
#include <vector>

namespace install {

enum class SessionAnswer { ThisSession, OtherSession, Unknown };

// Tells where a process runs compared with the caller.
using SessionQuery = std::function<SessionAnswer(unsigned long processId)>;

// `ids` are the processes of the launcher's name in listing order. The first of
// them that may run in this session decides: this process itself (returns 0: go
// on) or another copy (its id). A process whose session cannot be told counts, as
// every process did before sessions were looked at; without a query at all (a
// system without sessions) the first listed process decides.
unsigned long RunningCopyToHandOver(const std::vector<unsigned long>& ids, unsigned long self,
                                    const SessionQuery& sessionOf);

}  // namespace install
