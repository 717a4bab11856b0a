#pragma once

#include <cstdint>
#include "base/narrow_text.h"

// Text values under one key of HKEY_CURRENT_USER, in the ANSI code page:
// the installers' return codes, kept across a reboot. The first value
// written under a name stays until the key is deleted.
class RegistryStore {
public:
    // Results of the operations.
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kFailed = 1;
    static constexpr int32_t kExists = 3;

    explicit RegistryStore(const NarrowText& keyPath) : KeyPath(keyPath) {}
    virtual ~RegistryStore() = default;

    // The number as signed decimal text, stored through SetString.
    virtual int32_t SetNumber(const NarrowText& name, int32_t number);
    // 3 without writing when the value exists already.
    virtual int32_t SetString(const NarrowText& name, const NarrowText& text) = 0;
    virtual int32_t GetString(const NarrowText& name, NarrowText& text) = 0;

    NarrowText KeyPath;
};

// "-" before negative numbers, no leading zeros, "0" for zero.
NarrowText SignedDecimal(int32_t number);
