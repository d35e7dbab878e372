#pragma once

// What the sensor looks at and how well it sees it: set from the command line
// and changed while running through the control input. A power cycle keeps
// it, as unplugging a sensor does not move its target.
struct Scene {
    double distanceMm = 1500;  // the target's true distance
    double biasMm = 0;         // the sensor's systematic error, added to every point
    double jitterMm = 6;       // standard deviation of the points around the target
    double blankPercent = 0;   // share of frames the host's quality filter is to blank
    double wanderPercent = 1;  // the target's slow wander, at most this share of its distance
};
