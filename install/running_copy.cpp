#include "install/running_copy.h"

namespace install {

unsigned long RunningCopyToHandOver(const std::vector<unsigned long>& ids, unsigned long self,
                                    const SessionQuery& sessionOf) {
    for (unsigned long id : ids) {
        if (sessionOf && sessionOf(id) == SessionAnswer::OtherSession) continue;
        return id == self ? 0 : id;
    }
    return 0;
}

}  // namespace install
