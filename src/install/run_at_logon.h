#pragma once

#include "base/wide_string.h"

// Text rules of the run-at-logon registration; the registration itself is in
// run_at_logon_win.h.

// The name under which the scheduler keeps the job: the command with every
// character that file names forbid, and every ".", replaced by "_". The
// scheduler adds ".job" itself to name the job's file, and refuses any name
// with a dot in it (E_INVALIDARG, on Windows as under Wine), so a name built
// from "setup.exe" or carrying ".job" would never become a job.
WideString JobNameFor(const WideString& command);
// The job's program: the command in double quotes, unless it is empty or
// already begins with one.
WideString JobProgramFor(const WideString& command);
// "domain\user", or empty (the local system account) when that names SYSTEM.
WideString LogonAccountFor(const WideString& domain, const WideString& user);
// The Run value's name: the command, or its last 79 characters once it is 80
// or longer.
WideString RunValueNameFor(const WideString& command);
// The Run value's data: with arguments, the command (quoted when it holds a
// space and is not quoted yet), a space unless the arguments begin with one,
// and the arguments; without arguments, the command unchanged.
WideString RunValueDataFor(const WideString& command, const WideString& arguments);
