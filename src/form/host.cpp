#include "form/host.h"

#include <cstdio>

namespace orv::form {

std::string formatDateTime(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

}  // namespace orv::form
