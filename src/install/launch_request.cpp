#include "install/launch_request.h"

#include "fs/paths.h"

LaunchRequest MakeLaunchRequest(const WideString& path, const WideString& arguments) {
    LaunchRequest request;
    request.File = SkipLongPathPrefix(path);
    // Everything before the last backslash: a file in a drive's root gives
    // "C:", which names that drive's current directory.
    request.Directory = ParentFolder(request.File);
    request.HasParameters = !arguments.empty();
    return request;
}
