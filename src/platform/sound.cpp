#include "platform/sound.h"

#include "assets/catalogue.h"
#include "platform/app.h"

void TWaveCollectionItem::Play(bool /*wait*/) {
  plat::Sighting s;
  s.kind = plat::Sighting::Sound;
  s.item = index_;
  s.pan = Pan;
  Application.Host().Record(s);
}

TDXWaveList::TDXWaveList(TDXSound& /*sound*/) {
  for (int i = 0; i < assets::kWaveCount; ++i) Items.push_back(std::make_unique<TWaveCollectionItem>(i));
}
