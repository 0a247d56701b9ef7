// What the page (page.js) does for the program, through library_page.js.
// Positions are the canvas's own (device) pixels, in 1/256 pixel.
#pragma once

#include <cstdint>

extern "C" {

// --- The canvas and input -------------------------------------------------------

// The canvas's size: CSS width and height, then its width and height in device pixels.
void kelo_page_size(int* size4);
// Shows the w x h picture (the display's 16-bit pixels) at (x, y) of the
// canvas, enlarged sharply to dw x dh by the graphics processor. Returns 0
// where the page has no graphics processor to do it (kelo_page_present then).
int kelo_page_show(const uint16_t* pixels, int w, int h, int x, int y, int dw, int dh);
// Shows w x h pixels (RGBA bytes) at (x, y) of the canvas, enlarged to dw x dh
// by the nearest pixel when that is larger.
void kelo_page_present(const void* rgba, int w, int h, int x, int y, int dw, int dh);
// The next input event, or 0 when none waits. Fills kind, button, repeat,
// x, y; `text` gets the key's name or the typed characters (UTF-8).
int kelo_page_next_event(int* fields5, char* text, int textCapacity);
// Returns when an event arrives or `ms` have passed (ms < 0: no limit); lets
// the browser show the canvas and run its events meanwhile.
void kelo_page_wait(int ms);
// The system pointer over the canvas: shown or hidden.
void kelo_page_pointer(int visible);
// What the page publishes of the game (window.kelo) and the name being typed.
void kelo_page_status(const char* state, int fps, double ticks, const char* text);
// The game has ended: the page says so and offers to start it again.
void kelo_page_end(int exitCode, const char* message);
// A seed from the browser's random source.
uint32_t kelo_page_random();

// --- The files ----------------------------------------------------------------

// Waits for the pictures that come later (the page's kelo.pictures, which it
// fetches once it shows its first picture) and returns them in memory of
// malloc's, `*size` bytes; null where the page could not fetch them.
unsigned char* kelo_page_pictures(int* size);

// Waits for this page's turn to play (while another tab of the game plays,
// the page shows `busy` and lets the player take the game over), then reads
// the browser's storage into `folder`; every later sync of a file there writes
// it through. Returns 0, or -1 when the browser keeps nothing (the files then
// last as long as the page).
int kelo_page_mount(const char* folder, const char* busy);

// --- Sound ----------------------------------------------------------------------

// Bit 0: the page has its audio output (after the first click or key);
// bit 1: the synthesizer on this thread has its SoundFont; bit 2: the audio
// worklet's has (the music then plays there: kelo_music_*).
int kelo_audio_state(void);
// The sample rate of the output and of the synthesizer.
int kelo_audio_rate(void);
// Tells the page an effect's layout once; its PCM bytes are in the page's
// kelo.waves (the effects' blob), which the page fetches after the first picture.
void kelo_audio_wave(int index, int bytes, int rate, int channels, int bits);
// Plays effect `index` with these levels (0..255) on the left and the right.
void kelo_audio_play(int index, int left, int right);
int kelo_audio_sounding(void);

// FluidSynth in the page (js-synthesizer's libfluidsynth), called as the
// desktop calls its own.
void kelo_fluid_event(int status, int data1, int data2);
void kelo_fluid_sysex(const void* data, int length);
void kelo_fluid_reset(void);
void kelo_fluid_notes_off(void);
int kelo_fluid_voices(void);
void kelo_fluid_render(int16_t* out, int frames);

// The music's worklet program (music_worklet.cpp, music_wire.h): a piece to
// load, its events (`eventCount` of `eventBytes` each) and its system
// exclusive bytes; then the commands for it. The worklet reports back through
// kelo_web_music_report.
void kelo_music_load(const void* events, int eventCount, int eventBytes, const void* sysex, int sysexBytes,
                     double lengthUs);
void kelo_music_command(int command, double ticket, double frame);

}  // extern "C"
