#pragma once

// The companion's exit statuses: a script tells the class of a failure from them alone.
enum ExitStatus : int {
    ExitSuccess = 0,
    ExitRefused = 1,           // the command line, a value or a file was refused; nothing was written
    ExitLinkFailure = 2,       // the port or the line failed, or a written block did not read back
    ExitNotProgrammed = 3,     // the controller holds no attributes of that type
    ExitControllerRefused = 4, // the controller answered the request with a status: it did not act
    ExitInterrupted = 130,     // stopped by SIGINT or SIGTERM after the exchange in progress, as shells count
};
