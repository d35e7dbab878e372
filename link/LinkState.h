#pragma once

// Where the link to the sensor stands, as the status bar shows it.
enum class LinkState {
    Unconnected,  // no port open, and none being waited for
    Connected,    // port open, no acquisition running
    Acquiring,    // port open, Start sent and no Stop since
    Disconnected, // the device went away
    Reconnecting, // trying to reopen the port that went away
};
