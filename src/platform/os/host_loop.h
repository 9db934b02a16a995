// Who drives the frame loop. On the desktop the game runs its own loop and sleeps between frames;
// in a browser the page's animation callback calls one turn per display frame, and work the
// desktop does on threads (the sound pump, the music refills) runs between those turns.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace os {

// True where the host calls the loop (a browser) rather than the game looping itself.
bool HostDrivesLoop();

// A turn runs the frames that are due and answers how many it ran.
using LoopTurn = int (*)();
// Hands the loop to the host, which calls `turn` once per display frame until StopHostLoop.
// Where HostDrivesLoop() is false it returns at once without calling anything.
void RunHostLoop(LoopTurn turn);
void StopHostLoop();
// Game steps the host loop has run, for the page's own rate read-out.
uint64_t HostLoopSteps();

// A line about the game for the page hosting it (its tests read where the player is); nothing
// where there is no page.
void SetPageStatus(const char* text);

// A file made for the player (an F12 picture): a page offers it as a download, since the files the
// game writes stay inside the browser; nothing where they land in the player's own folders.
void OfferFile(const std::string& path);

// Ends the process from inside a frame, without the orderly shutdown: on the desktop as exit()
// does (the static destructors run, and stop every worker before they wait for it); in a browser
// the loop stops and the page is told.
[[noreturn]] void ExitNow(int code);

// Work run before every turn where there are no threads; a task answering false is dropped.
int AddFrameTask(std::function<bool()> task);
void RemoveFrameTask(int id);
// Runs the tasks once (the host loop does this; tests may too).
void RunFrameTasks();

}  // namespace os
