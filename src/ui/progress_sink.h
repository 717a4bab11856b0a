#pragma once

#include <cstdint>

// What the chain reports while it runs, and how it learns that the user wants
// it to stop. A null sink stands for silent mode: nothing is reported and
// nothing can be cancelled. Callers never keep the text pointers they pass,
// and no sink is deleted through this interface.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;

    // The number of steps the whole run will report.
    virtual void SetRange(uint32_t stepCount) = 0;
    // The size of the current item in its own unit (bytes for a download, 0
    // when unknown) and its name, which may be null.
    virtual void SetItemRange(uint32_t itemTotal, const wchar_t* itemName) = 0;
    // The run, or the current item, is finished.
    virtual void Complete(int32_t success) = 0;
    // A new step begins; the text is its status line.
    virtual void SetStatusText(const wchar_t* text) = 0;
    // Progress of the current item since the last report.
    virtual void AddItemProgress(uint32_t amount) = 0;
    // True once the user has asked to stop; never goes back to false.
    virtual bool IsCancelled() = 0;
    // While true, a download holds its transfer.
    virtual bool IsPaused() = 0;
    // The current item failed with a result code.
    virtual void ReportItemError(uint32_t reserved, uint32_t code) = 0;
};
