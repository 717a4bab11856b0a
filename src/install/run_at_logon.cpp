#include "install/run_at_logon.h"

#include "fs/paths.h"

WideString JobNameFor(const WideString& command) {
    WideString name = command;
    SanitizeFileName(name);
    for (wchar_t& c : name) {
        if (c == L'.') c = L'_';
    }
    return name;
}

WideString JobProgramFor(const WideString& command) {
    if (command.empty() || command[0] == L'"') return command;
    return L'"' + command + L'"';
}

WideString LogonAccountFor(const WideString& domain, const WideString& user) {
    WideString account = domain + L'\\' + user;
    if (account.find(L"\\SYSTEM") != WideString::npos || account == L"SYSTEM") account.clear();
    return account;
}

WideString RunValueNameFor(const WideString& command) {
    const size_t kKeep = 79;
    return command.size() >= kKeep + 1 ? command.substr(command.size() - kKeep) : command;
}

WideString RunValueDataFor(const WideString& command, const WideString& arguments) {
    if (arguments.empty()) return command;
    const bool quote = command.find(L' ') != WideString::npos && command[0] != L'"';
    WideString data = quote ? L'"' + command + L'"' : command;
    if (arguments[0] != L' ') data += L' ';
    return data + arguments;
}
