#pragma once

#include <string>
#include <vector>

// Everything the simulator can be told on its command line.
struct SimOptions {
    int rate = 50;              // measurement frames per second
    int points = 10;            // points per frame, 1..300
    int distance = 1500;        // target distance around which points scatter
    int jitter = 6;             // spread of the simulated distances
    int bias = 0;               // systematic error added to every distance
    int blankPercent = 0;       // share of frames the host's quality filter blanks
    int wanderPercent = 1;      // slow wander of the target, at most this share of its distance
    int driftMm = 0;            // warm-up offset at the first Start after power-on
    int driftTauSeconds = 60;   // time constant of its decay
    int seed = 1;
    std::string link;           // symlink to the port, when given
    std::string imageOut;       // where a received image is written
    std::string control;        // named pipe for control lines, "-" for standard input
    int garbage = 0;            // noise bytes written between frames
    int badChecksumPercent = 0; // share of frames sent with a wrong sum
    int ackDropBlock = -1;      // block index whose acknowledgement is withheld
    int ackFailBlock = -1;      // block index acknowledged with result 0
    int ackDelayMs = 0;         // delay before every acknowledgement
    int idleExitSeconds = 5;    // 0: never end for lack of a peer
    int watchPid = 0;           // end when this process is gone
    int vanishEvery = 0;        // seconds between unplugs; 0: never
    int vanishForMs = 2000;     // how long the sensor stays away
    bool verbose = false;
    bool help = false;
};

// Parses argv into `out`. On a bad argument returns false with `error` set.
bool parseSimOptions(const std::vector<std::string> &args, SimOptions &out, std::string &error);

std::string simHelpText();
