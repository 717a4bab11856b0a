#pragma once

#include "app/interboot_store.h"

// The store in the real registry, through the ANSI calls; every operation
// opens the key anew and keeps no handle.
class WinRegistryStore : public RegistryStore {
public:
    explicit WinRegistryStore(const NarrowText& keyPath) : RegistryStore(keyPath) {}
    int32_t SetString(const NarrowText& name, const NarrowText& text) override;
    int32_t GetString(const NarrowText& name, NarrowText& text) override;
};
