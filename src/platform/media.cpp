#include "platform/media.h"

#include "platform/app.h"
#include "platform/files.h"

void TMediaPlayer::Note(const char* op, bool failed) {
  plat::Sighting s;
  s.kind = plat::Sighting::Music;
  s.op = op;
  s.file = open_ ? openFile_ : FileName;
  s.failed = failed;
  Application.Host().Record(s);
}

void TMediaPlayer::Open() {
  if (!plat::FileExists(FileName)) {
    Note("open", true);
    throw EMCIDeviceError("cannot open " + FileName);
  }
  open_ = true;
  openFile_ = FileName;
  playing_ = false;
  Note("open", false);
}

void TMediaPlayer::Play() {
  if (!open_) {
    Note("play", true);
    throw EMCIDeviceError("no music open");
  }
  playing_ = true;
  Note("play", false);
}

void TMediaPlayer::Stop() {
  if (!open_) {
    Note("stop", true);
    throw EMCIDeviceError("no music open");
  }
  playing_ = false;
  Note("stop", false);
}

void TMediaPlayer::Close() {
  Note("close", false);
  open_ = false;
  playing_ = false;
}

int TMediaPlayer::Position() { return 0; }
int TMediaPlayer::Length() { return 0; }
