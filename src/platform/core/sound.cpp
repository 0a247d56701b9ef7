#include "platform/core/sound.h"

#include "assets/catalogue.h"
#include "platform/core/app.h"
#include "platform/core/audio.h"

void TWaveCollectionItem::Play(bool /*wait*/) {
  plat::Sighting s;
  s.kind = plat::Sighting::Sound;
  s.item = index_;
  s.pan = Pan;
  Application.Host().Record(s);
  if (plat::AudioDevice* audio = Application.Host().Audio()) audio->PlayWave(index_, Pan);
}

TDXWaveList::TDXWaveList(TDXSound& /*sound*/) {
  for (int i = 0; i < assets::kWaveCount; ++i) Items.push_back(std::make_unique<TWaveCollectionItem>(i));
}
