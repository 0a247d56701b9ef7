#include "platform/core/media.h"

#include "platform/core/app.h"
#include "platform/core/audio.h"
#include "platform/core/files.h"
#include "platform/core/midifile.h"

TMediaPlayer::TMediaPlayer() = default;
TMediaPlayer::~TMediaPlayer() = default;

void TMediaPlayer::Note(const char* op, bool failed) {
  plat::Sighting s;
  s.kind = plat::Sighting::Music;
  s.op = op;
  s.file = music_ ? openFile_ : FileName;
  s.failed = failed;
  Application.Host().Record(s);
}

void TMediaPlayer::RequireOpen(const char* op) {
  if (music_) return;
  Note(op, true);
  throw EMCIDeviceError("no music open");
}

void TMediaPlayer::Open() {
  music_.reset();
  length_ = 0;
  try {
    plat::AudioDevice* audio = Application.Host().Audio();
    if (!audio) throw std::runtime_error("no MIDI device");
    const std::string bytes = plat::ReadWholeFile(plat::DataFile(FileName));
    auto midi = std::make_shared<const plat::MidiFile>(plat::ParseMidi(bytes));
    length_ = midi->LengthMs();
    music_ = audio->OpenMusic(std::move(midi));
  } catch (const std::exception& e) {
    Note("open", true);
    throw EMCIDeviceError("cannot open " + FileName + ": " + e.what());
  }
  openFile_ = FileName;
  Note("open", false);
}

void TMediaPlayer::Play() {
  RequireOpen("play");
  music_->Play();
  Note("play", false);
}

void TMediaPlayer::Stop() {
  RequireOpen("stop");
  music_->Stop();
  Note("stop", false);
}

void TMediaPlayer::Close() {
  Note("close", false);
  music_.reset();
}

int TMediaPlayer::Position() {
  if (!music_) throw EMCIDeviceError("no music open");
  return music_->Position();
}

int TMediaPlayer::Length() {
  if (!music_) throw EMCIDeviceError("no music open");
  return length_;
}

bool TMediaPlayer::IsPlaying() const { return music_ && music_->Playing(); }
