#include "core/settings_state.h"

#include <cstdio>
#include <cstring>

namespace kvr {

SettingsState::SettingsState() {
    std::strcpy(Filterbox_Filter_Name[0], "Blank");
    for (int i = 1; i < kFilterNames; ++i)
        std::snprintf(Filterbox_Filter_Name[i], kFilterNameBytes, "Filter %d", i + 1);
}

}  // namespace kvr
