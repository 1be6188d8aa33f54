#include "shell/header.h"

#include <array>
#include <string>

#include "framework/platform/profile.h"
#include "framework/types/codepage.h"
#include "shell/globals.h"

namespace vexlo {

void loadHeaderLines(const QString& iniFile) {
    using Line = vx::STRING<50>;
    const std::array<Line*, 6> lines = {&Z1, &Z2, &Z3, &Z4, &Z5, &Z6};
    const std::string file = vx::cp::toCp1251(iniFile);
    const std::vector<std::string> present = vx::platform::getProfileKeyNames("Header", file);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string key = "Z" + std::to_string(i + 1);
        bool found = false;
        for (const std::string& k : present)
            if (vx::cp::compareNoCase1251(k, key) == 0) found = true;
        if (!found) continue;
        lines[i]->set(vx::platform::getProfileString("Header", key, {}, file));
    }
}

}  // namespace vexlo
