// Shared between the journal files of the platform layer only: the event
// fetches, which the SDL half journals.
#pragma once

#include <SDL2/SDL.h>

#include "platform/journal.h"
#include "platform/journal_format.h"

// One fetch of events from the system. Recording: the events it took are kept
// with their fetch number. Replaying: *event is the event the recording took
// at this fetch; false when it took none.
void JournalFetchBegin();
bool JournalReplayEvent(JournalEvent& event);
void JournalRecordEvent(const JournalEvent& event);
// Whether this thread's fetches are journaled.
bool JournalEventsActive();

// The event fetches of sdl_events.cpp, journaled (journal_events.cpp). The
// poll takes one event the layer uses; the peek up to max input events.
bool SdlJournalPollEvent(SDL_Event* event);
int SdlJournalPeepInput(SDL_Event* events, int max);
// Recording: the end request a signal made, kept as a quit event at this fetch.
void SdlJournalNoteSignal();
