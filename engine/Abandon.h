#pragma once

namespace tkw {

// The codes a worker operation gives up with. Each is thrown as a CAbandon inside one operation
// and caught at that operation's end; none crosses an operation's interface.
enum AbandonCode : int {
    kAbandonLaunch = -53568,         // the launch is abandoned
    kAbandonCancelled = -53569,      // the user cancelled
    kAbandonNotCreated = -53570,     // the backup file was not created
    kAbandonNothingLoaded = -53571,  // restore with no backup open
    kAbandonEmptyBackup = -53572,    // the backup file holds no items
    kAbandonCannotOpen = -53573,     // the backup file cannot be opened
    kAbandonNotFound = -53574,       // the backup file does not exist
};

struct CAbandon {
    AbandonCode code;
};

}  // namespace tkw
