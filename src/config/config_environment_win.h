#pragma once

#include "config/setup_config.h"

// The configuration's view of this machine.
class WinConfigEnvironment : public ConfigEnvironment {
public:
    WideString ExpandReferences(const WideString& text) override;
    WideString TempFolder() override;
};
