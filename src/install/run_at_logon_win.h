#pragma once

#include <windows.h>

#include <cstdint>

#include "base/wide_string.h"

// Arranges for `command` with `arguments` to run when a user next logs on: a
// hidden Task Scheduler job with a logon trigger on Windows Vista and later;
// on earlier Windows, or when the job cannot be saved, a value under the
// current user's Run key. True when a job or a Run value now exists for the
// command. An empty command registers nothing and gives false.
bool RegisterRunAtLogon(const WideString& command, const WideString& arguments);

// Makes sure the Task Scheduler service ("Schedule") runs: 0 when it runs or
// could be started, else the Windows error that stopped it.
uint32_t StartTaskScheduler();

// Opens the scheduler's work item `jobName`, or creates it, and makes it run
// `program` with `parameters` at logon under `account` (empty: the local
// system account), hidden and only while the user is logged on; the first
// trigger is reused. `startTime` (UTC) gives the trigger's begin date and
// start time. True once the item is saved to its own file; a failed save
// deletes the item.
bool CreateLogonJob(const WideString& jobName, const WideString& program, const WideString& parameters,
                    const WideString& account, const SYSTEMTIME& startTime);

// The Run-key registration under HKEY_CURRENT_USER: an existing value of the
// same name whose data fits in 200 bytes is left alone.
bool SetRunValue(const WideString& command, const WideString& arguments);
// The same under any key; the tests use one of their own.
bool SetRunValueUnder(HKEY root, const WideString& keyPath, const WideString& command,
                      const WideString& arguments);
