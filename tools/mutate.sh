#!/usr/bin/env bash
# Mutation testing: puts one realistic slip at a time into a scratch clone of a
# commit, rebuilds it incrementally and runs the release tests; a slip is
# caught when a test fails. Prints a table and the score.
#
#   tools/mutate.sh [--commit REV] [-R CTEST_REGEX] [--min PERCENT] [--keep] [NAME...]
#
#   --commit REV  the commit to clone (default HEAD; uncommitted changes are not taken)
#   -R REGEX      run only the tests ctest -R selects (default: the whole suite)
#   --min P       exit 3 when fewer than P percent are caught
#   --keep        keep the scratch folder (build and logs) and say where
#   --check       only check that every pattern is found once, then stop
#   NAME...       only the mutants of these names
#
# Exit status: 0, 1 when a mutant's pattern is not found exactly once in its
# file (the list below must stay true), 2 when the unchanged commit does not
# build or pass, 3 below --min.
set -euo pipefail

# One mutant a line: name | file | the exact text (found exactly once) | its
# replacement; the fields are parted by " | ", which the texts must not hold.
# A file that has moved is looked for by its name under src/. A line "== AREA"
# starts the mutants of an area of the game; the score is printed per area too.
MUTANTS=$(cat <<'EOF'
== chickens
huhn-box-right        | src/huhn.cpp   | mx > h.X + 30                               | mx > h.X + 31
huhn-box-top          | src/huhn.cpp   | my < h.Y ||                                 | my <= h.Y ||
huhn-zone-right       | src/huhn.cpp   | (mx >= 491 && my >= 261)                    | (mx >= 491 && my > 261)
huhn-zone-left        | src/huhn.cpp   | (mx <= 112 && my >= 291)                    | (mx < 112 && my >= 291)
huhn-release-line     | src/huhn.cpp   | h.Y < 350 : h.X < 450                       | h.Y < 350 : h.X <= 450
huhn-far-end          | src/huhn.cpp   | h.X < 90 : h.X > 500                        | h.X < 90 : h.X >= 500
huhn-off-screen       | src/huhn.cpp   | (h.X > 640 || h.Y < -40)                    | (h.X >= 640 || h.Y < -40)
ampel-end-rounds      | src/huhn.cpp   | if (Trunc(f.ampelTime) == 4)                | if (Round(f.ampelTime) == 4)
wings-truncate        | src/huhn.cpp   | wingsUp = Round(f.flapPhase) == 0           | wingsUp = Trunc(f.flapPhase) == 0
speed-truncates       | src/huhn.cpp   | dx = Round(15 / d)                          | dx = Trunc(15 / d)
x-wave-last-four        | src/huhn.cpp   | f.chickensReleased > 96 ? 100 - f.chickensReleased | f.chickensReleased >= 96 ? 100 - f.chickensReleased
x-third-chicken-stuck   | src/huhn.cpp   | if (i <= 2 && crossed                         | if (i < 2 && crossed
== numeric rules
round-half-away       | src/tool1.cpp  | return int(std::lrint(x));                  | return int(std::lround(x));
ext-ties-up           | src/extended.cpp | if (lo > half || (lo == half && (hi & 1))) { | if (lo >= half) {
ext-subnormal-ignored | src/extended.cpp | const int drop = top >= -1022 ? 11 : 11 + (-1022 - top); | const int drop = 11;
random-modulo         | src/tool1.cpp  | int((uint64_t(RandSeed) * uint64_t(uint32_t(n))) >> 32) | int(RandSeed % uint32_t(n))
speed-reset           | src/tool1.cpp  | if (f.difficulty < 3) speedDivisor = kNormalSpeed; | if (f.difficulty < 2) speedDivisor = kNormalSpeed;
rank-points           | src/tool1.cpp  | RankKey(hits, points) > RankKey             | RankKey(hits, points) >= RankKey
== bonus objects
plane-box-top         | src/extras.cpp | 70 <= my && my <= 96                        | 70 < my && my <= 96
drop-box-rounded      | src/extras.cpp | const double top = f.dropY - 10 * k;        | const double top = Round(f.dropY) - 10 * k;
drop-box-right        | src/extras.cpp | mx <= x + 30 && top                         | mx < x + 30 && top
extra1-box-bottom     | src/extras.cpp | my <= f.extra1Y + 21)                       | my < f.extra1Y + 21)
extra2-box-bottom     | src/extras.cpp | my <= top + 21                              | my <= top + 20
extra2-zone           | src/extras.cpp | !(mx >= 461 && my >= 153)                   | !(mx > 461 && my >= 153)
plane2-box-right      | src/extras.cpp | mx <= f.plane2X + 57 &&                     | mx < f.plane2X + 57 &&
negativ-box-rounded   | src/extras.cpp | f.negativY + 13 <= my                       | Round(f.negativY) + 13 <= my
ammo-box-left         | src/extras.cpp | f.ammoX + 3 <= mx                           | f.ammoX + 2 <= mx
ammo-limit            | src/extras.cpp | my < 153)) return false;                    | my <= 153)) return false;
x-ammo-on-easy          | src/extras.cpp | Random(8) == 5 && f.difficulty > 1            | Random(8) == 5 && f.difficulty >= 1
x-negativ-rewards       | src/extras.cpp | f.scorePoints -= 1000;                        | f.scorePoints += 1000;
== explosions and animations
explosion-alpha       | src/extras.cpp | *f.explosionFrames[n], true, 210);          | *f.explosionFrames[n], true, 200);
explosion-picture-cut | src/extras.cpp | const int n = Round(f.explosionPhase[i]);   | const int n = Trunc(f.explosionPhase[i]);
atom-wraps-early      | src/extras.cpp | if (Round(f.atomFrame) == 26)               | if (Round(f.atomFrame) == 25)
x-explosion-short       | src/extras.cpp | if (Round(f.explosionPhase[i]) == 9)          | if (Round(f.explosionPhase[i]) == 8)
x-hit-pan-swapped       | src/platform/core/audio.cpp | return pan < 0 ? StereoGain{1.0, far} | return pan > 0 ? StereoGain{1.0, far}
== level flow and head-up display
shots-red             | src/main.cpp   | f.shotsLeft < 51 ? clRed                    | f.shotsLeft < 50 ? clRed
warning-blink         | src/main.cpp   | t % 10 <= 5                                 | t % 10 < 5
bombs-end             | src/main.cpp   | t >= 36 && t <= 57                          | t >= 36 && t <= 58
end-state             | src/main.cpp   | } else if (t == 82) {                       | } else if (t == 83) {
game-over-alpha       | src/main.cpp   | 0, t - 100);                                | 0, t - 101);
x-shot-free-on-medium   | src/extras.cpp | if (f.difficulty > 1) f.shotsLeft -= 1;       | if (f.difficulty > 2) f.shotsLeft -= 1;
x-drop-reset-short      | src/tool1.cpp  | for (int k = 1; k <= 10; ++k) f.dropGone[k] = 0; | for (int k = 1; k < 10; ++k) f.dropGone[k] = 0;
x-ampel-light-rounds    | src/huhn.cpp   | canvas.Rectangle(22 * Trunc(f.ampelTime), 0, 58, 14); | canvas.Rectangle(22 * Round(f.ampelTime), 0, 58, 14);
== menus
options-region        | src/main.cpp   | Hit(x, y, 367, 499, 198, 211)               | Hit(x, y, 367, 500, 198, 211)
toggle-region         | src/main.cpp   | Hit(x, y, 368, 513, 172, 194)               | Hit(x, y, 368, 513, 172, 195)
starten-region        | src/main.cpp   | Hit(x, y, 368, 485, 335, 348)               | Hit(x, y, 367, 485, 335, 348)
mittel-list-region    | src/main.cpp   | x >= 364 && x <= 455                        | x > 364 && x <= 455
fade-step             | src/menu.cpp   | const int alpha = 15 * step;                | const int alpha = 16 * step;
pause-dim             | src/menu.cpp   | clBlack, 100);                              | clBlack, 110);
x-name-21-chars         | src/platform/core/controls.cpp | length < size_t(MaxLength)      | length <= size_t(MaxLength)
x-backspace-after-caret | src/platform/core/controls.cpp | Text.erase(size_t(--SelStart), 1) | Text.erase(size_t(SelStart--), 1)
x-box-left-negative     | src/platform/core/msgbox.cpp | focus = (focus + count - 1) % std::max(1, count); | focus = (focus - 1) % std::max(1, count);
== blending
alpha-truncated       | src/platform/core/surface.h | (alpha * 32 + 127) / 255           | (alpha * 32) / 255
blend-weight          | src/platform/core/surface.h | d * (32 - alpha32)) >> 5           | d * (31 - alpha32)) >> 5
keyed-blend-tail      | src/platform/core/pixels.h   | if (s[i] != key) d[i] = BlendPixel | d[i] = BlendPixel
== text layout
x-text-pen-by-ink       | src/platform/core/surface.cpp | penX += g.advance;               | penX += g.width;
x-text-space-unloaded   | src/platform/core/font.cpp | if (u >= 32 && FT_Load_Glyph        | if (u > 32 && FT_Load_Glyph
x-text-metrics-floor    | src/platform/core/font.cpp | int Ceil26(long v) { return int((v + 63) >> 6); } | int Ceil26(long v) { return int(v >> 6); }
x-text-line-height-sign | src/platform/core/font.cpp | face->ascender - face->descender    | face->ascender + face->descender
x-text-baseline-unclamped | src/platform/core/font.cpp | const int above = std::max(0, g->bitmap_top - ascent_); | const int above = g->bitmap_top - ascent_;
x-box-crlf-twice        | src/platform/core/msgbox.cpp | if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i; | (void)0;
x-box-caption-thin      | src/platform/core/msgbox.cpp | canvas.TextOut(cap.Left + 5, capY, content.caption); | (void)0;
x-box-label-with-amp    | src/platform/core/msgbox.cpp | (r.Width() - WidthOf(face, label)) / 2 | (r.Width() - WidthOf(face, content.buttons[i])) / 2
== scaled drawing
stretch-samples-edge  | src/platform/core/surface.cpp | int((int64_t(2 * (dy - dr.Top) + 1) * sh) / (2 * int64_t(dh))) | int((int64_t(dy - dr.Top) * sh) / int64_t(dh))
explosion-unscaled    | src/extras.cpp | Rect(cx - 50, cy - 37, cx + 50, cy + 37)    | Rect(cx - 50, cy - 37, cx + 50, cy + 38)
x-stretch-columns-edge  | src/platform/core/surface.cpp | int((int64_t(2 * (dx - dr.Left) + 1) * sw) / (2 * int64_t(dw))) | int((int64_t(dx - dr.Left) * sw) / int64_t(dw))
x-hud-chicken-swapped   | src/main.cpp   | Rect(0, 0, 36, 35)                            | Rect(0, 0, 35, 36)
x-atom-size-swapped     | src/main.cpp   | f.shakeX + x + 130, f.shakeY + y + 133        | f.shakeX + x + 133, f.shakeY + y + 130
x-hud-shot-opaque       | src/main.cpp   | Rect(585, 3, 600, 18), true);                 | Rect(585, 3, 600, 18), false);
x-scaler-tap-corner     | src/platform/core/scaler.cpp | const double u = (x + 0.5) * step - 0.5; | const double u = x * step;
x-scaler-line-overwritten | src/platform/core/scaler.cpp | const int slot = lineRow_[0] == keep ? 1 : 0; | const int slot = lineRow_[0] == keep ? 0 : 1;
== scores
rank-points           | src/tool1.cpp  | points > StrToInt(t.Points[k].Str())        | points >= StrToInt(t.Points[k].Str())
x-last-drop-never-lands | src/extras.cpp | v >= 320 && v <= 410 && (v - 320) % 10 == 0   | v >= 320 && v < 410 && (v - 320) % 10 == 0
x-row-gone-but-last     | src/extras.cpp | for (int k = 1; k <= Count; ++k)              | for (int k = 1; k < Count; ++k)
x-negative-score-refused | src/tool1.cpp | (s[0] == '-' || s[0] == '+')                  | (s[0] == '+')
x-rank-hits-tie         | src/tool1.cpp  | hits > entryHits ||                           | hits >= entryHits ||
x-rank-top-unreached    | src/tool1.cpp  | for (int i = 5; i >= 1; --i)                  | for (int i = 5; i > 1; --i)
x-first-place-unranked  | src/tool1.cpp  | if (f.placement < 1) {                        | if (f.placement <= 1) {
== music
midi-frame-unclamped  | src/platform/core/sequencer.cpp | if (!(frame < kLastFrame)) return int64_t(kLastFrame); | (void)0;
loop-drops-last-notes | src/platform/core/sequencer.cpp | if (playing_ && midi_ && frame_ >= endFrame_) sendDue(); | (void)0;
midi-clock-never-sleeps | src/platform/core/midi_device.cpp | return !asleep_; | return true;
midi-long-overtaken   | src/platform/core/midi_device.cpp | if (port_.LongsDone()) { | if (true) {
midi-sleep-plays      | src/platform/core/midi_device.cpp | if (asleep_) done_ = std::max(done_, due); | (void)0;
x-cue-skips-due-event   | src/platform/core/sequencer.cpp | std::lower_bound(eventFrames_.begin(), eventFrames_.end(), frame_) | std::upper_bound(eventFrames_.begin(), eventFrames_.end(), frame_)
x-silence-stops-clock   | src/platform/core/sequencer.cpp | if (playing_) frame_ += frames; | (void)0;
x-chase-sends-notes     | src/platform/core/sequencer.cpp | kind != 0x80 && kind != 0x90 && kind != 0xA0 | kind != 0x80 && kind != 0xA0
x-level-music-no-restart | src/main.cpp  | f.MediaPlayer1.Position() >= f.MediaPlayer1.Length() | f.MediaPlayer1.Position() > f.MediaPlayer1.Length()
x-clock-music-no-loop   | src/platform/core/audio.cpp | if (at >= length_) {             | if (at > length_) {
x-midi-length-floor     | src/platform/core/midifile.cpp | return int((us + 999) / 1000); | return int(us / 1000);
x-midi-pressure-long    | src/platform/core/midifile.cpp | if (kind != 0xC0 && kind != 0xD0) e.event.data2 = in.Byte(); | if (kind != 0xC0) e.event.data2 = in.Byte();
== readers
gif-beyond-table      | src/platform/core/gif.cpp    | map->Colors[i] : GifColorType{0, 0, 0} | map->Colors[i] : map->Colors[map->ColorCount - 1]
x-gif-key-zero-ignored  | src/platform/core/gif.cpp | gcb.TransparentColor >= 0 && gcb.TransparentColor < 256 | gcb.TransparentColor > 0 && gcb.TransparentColor < 256
x-gif-control-lingers   | src/platform/core/gif.cpp | gcb = GraphicsControlBlock{DISPOSAL_UNSPECIFIED, false, 0, NO_TRANSPARENT_COLOR}; | (void)0;
x-gif-interlace-pass-two | src/platform/core/gif.cpp | for (int y = 4; y < im.Height; y += 8) row(y); | for (int y = 3; y < im.Height; y += 8) row(y);
x-cp1252-euro-lost      | src/platform/core/cp1252.cpp | if (c >= 0x80 && c < 0xA0)          | if (c > 0x80 && c < 0xA0)
x-utf8-lead-as-follower | src/platform/core/cp1252.cpp | ok = (cc & 0xC0) == 0x80;            | ok = (cc & 0x80) == 0x80;
x-highscore-empty-read  | src/platform/core/records.cpp | return file_->Size() <= uint64_t(position_) * uint64_t(recordSize_); | return file_->Size() < uint64_t(position_) * uint64_t(recordSize_);
x-length-byte-unclamped | src/main.h     | Chars + (Length > N ? N : Length)             | Chars + Length
x-replay-large-step-refused | src/replay.cpp | if (b <= kLarge) {                       | if (b < kLarge) {
== paths
x-xdg-relative-taken    | src/platform/os/linux/system.cpp | if (xdg && xdg[0] == '/')     | if (xdg && xdg[0] != '\0')
x-program-folder-readonly | src/platform/core/paths.cpp | FolderExists(own + "data") && FolderWritable(own) | FolderExists(own + "data")
x-folder-without-slash  | src/platform/core/paths.cpp | path.substr(0, slash + 1)              | path.substr(0, slash)
x-data-named-folder-left | src/platform/core/paths.cpp | if (FileExists(path) || !FolderOverride().empty()) return path; | if (FileExists(path)) return path;
x-data-installed-first  | src/platform/core/paths.cpp | {ExecutableFolder() + "data/", InstalledDataFolder()} | {InstalledDataFolder(), ExecutableFolder() + "data/"}
== saved files
save-no-file-sync     | src/platform/os/posix/files.cpp | if (::fsync(fd) != 0) Fail("cannot sync", temp); | (void)0;
save-no-folder-sync   | src/platform/os/posix/files.cpp | SyncFolderOf(target); | (void)0;
folder-sync-fatal     | src/platform/os/posix/files.cpp | ::fsync(fd); | if (::fsync(fd) != 0) FailWith(errno, "cannot sync folder", path);
inplace-no-cut        | src/platform/os/posix/files.cpp | if (::ftruncate(fd, off_t(content.size())) != 0) Fail("cannot cut", target); | (void)0;
inplace-no-sync       | src/platform/os/posix/files.cpp | if (::fsync(fd) != 0) Fail("cannot sync", target); | (void)0;
record-no-sync        | src/platform/core/records.cpp | file_->SyncData(); | (void)0;
lock-ignored          | src/platform/os/posix/files.cpp | if (error == EWOULDBLOCK) return nullptr; | (void)0;
x-highscore-written-after | src/tool1.cpp | f.highFiles[list].Seek(0);                   | (void)0;
x-setting-line-appended | src/tool1.cpp  | if (lines.Empty())                            | if (!lines.Empty())
x-reset-keeps-fifth-replay | src/recording.cpp | for (int place = 0; place <= 5; ++place) plat::RemoveFile | for (int place = 0; place < 5; ++place) plat::RemoveFile
== replays
replay-step-from-game | src/replay.cpp | const int sx = px - tx, sy = py - ty; | const int sx = px - cx, sy = py - cy;
replay-rest-unkept    | src/replay.cpp | {Kind::Byte, kBoth, 1, 0, 1, Global<&planeActive>}, | {Kind::Byte, kDigest, 1, 0, 1, Global<&planeActive>},
replay-move-over-kept | src/recording.cpp | if (needed) continue; | (void)0;
x-replay-step-escape-edge | src/replay.cpp | if (z < kLarge) {                          | if (z <= kLarge) {
x-replay-press-from-stale | src/replay.cpp | tx = cx = px, ty = cy = py;                | tx = px, ty = py;
x-watch-left-leaves-pause | src/watching.cpp | events_.pop_back();                      | (void)0;
== display
scaler-full-weight    | src/platform/core/scaler.cpp | if (t.weight == 256) t.a = t.b;     | (void)0;
scaler-weight-cut     | src/platform/core/scaler.cpp | uint32_t(std::lrint((u - j) * 256)) | uint32_t((u - j) * 256)
scaler-multiple       | src/platform/core/scaler.cpp | std::min(width_ / kSourceWidth, height_ / kSourceHeight) | std::max(width_ / kSourceWidth, height_ / kSourceHeight)
scaler-empty-as-one   | src/platform/core/scaler.cpp | width_ = std::max(0, width); | width_ = std::max(1, width);
pointer-unit-corner   | src/platform/core/layout.cpp | return v == std::floor(v) ? v + 0.5 : v; | return v;
pointer-point-biased  | src/platform/core/layout.cpp | ? v + 0.5 : v; | ? v + 0.5 : v + 0.5;
output-no-fallback    | src/platform/core/layout.cpp | return {Output::WindowPixels, Output::AnyRenderer}; | return {Output::WindowPixels};
vsync-fixed-limit     | src/platform/core/layout.cpp | tookMs > 1000.0 / refreshHz + kMarginMs | tookMs > 19.0
x-fit-truncates         | src/platform/core/layout.cpp | const int w = int(kW * s + 0.5), h = int(kH * s + 0.5); | const int w = int(kW * s), h = int(kH * s);
x-scaler-exact-by-either | src/platform/core/scaler.cpp | width_ == kSourceWidth * multiple_ && height_ == kSourceHeight * multiple_ | width_ == kSourceWidth * multiple_ || height_ == kSourceHeight * multiple_
EOF
)

# Everything below is read before it runs (main and the exit after it are one
# line), so the script can be edited during a run.
main() {
  commit=HEAD
  regex=""
  min=""
  keep=0
  check=0
  only=()
  while [ $# -gt 0 ]; do
    case "$1" in
      --commit) commit="$2"; shift 2 ;;
      -R) regex="$2"; shift 2 ;;
      --min) min="$2"; shift 2 ;;
      --keep) keep=1; shift ;;
      --check) check=1; shift ;;
      -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
      *) only+=("$1"); shift ;;
    esac
  done

  root=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
  rev=$(git -C "$root" rev-parse --verify "$commit^{commit}")
  if [ "$commit" = HEAD ] && [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes are not part of the run (it clones $rev)" >&2
  fi

  scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelo-mutate.XXXXXX")
  cleanup() {
    if [ "$keep" = 1 ]; then echo "scratch folder kept: $scratch" >&2; else rm -rf "$scratch"; fi
  }
  trap cleanup EXIT
  tree="$scratch/kelo"
  logs="$scratch/logs"
  mkdir -p "$logs"
  git clone -q --no-checkout "$root" "$tree"
  git -C "$tree" checkout -q --detach "$rev"

  trim() { local s="$1"; s="${s#"${s%%[![:space:]]*}"}"; printf '%s' "${s%"${s##*[![:space:]]}"}"; }

  # The mutants in fields, their files resolved; a pattern found other than once is an error.
  names=() files=() patterns=() replacements=() areas=()
  stale=0
  area=""
  while IFS= read -r line; do
    [ -z "$(trim "$line")" ] && continue
    if [[ "$line" == "== "* ]]; then area=$(trim "${line#== }"); continue; fi
    IFS=$'\t' read -r name file pattern replacement <<<"${line//' | '/$'\t'}"
    name=$(trim "$name") file=$(trim "$file") pattern=$(trim "$pattern") replacement=$(trim "$replacement")
    if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " == *" $name "* ]]; then continue; fi
    if [ ! -f "$tree/$file" ]; then
      moved=$(cd "$tree" && find src -name "$(basename "$file")" -type f)
      if [ "$(printf '%s\n' "$moved" | grep -c .)" != 1 ]; then
        echo "mutant $name: $file not found" >&2; stale=1; continue
      fi
      echo "mutant $name: $file is now $moved" >&2
      file=$moved
    fi
    count=$(PATTERN="$pattern" perl -ne '$n += () = /\Q$ENV{PATTERN}\E/g; END { print $n + 0 }' "$tree/$file")
    if [ "$count" != 1 ]; then
      echo "mutant $name: pattern found $count times in $file: $pattern" >&2; stale=1; continue
    fi
    names+=("$name") files+=("$file") patterns+=("$pattern") replacements+=("$replacement") areas+=("$area")
  done <<<"$MUTANTS"
  if [ "$stale" = 1 ]; then exit 1; fi
  if [ ${#names[@]} = 0 ]; then echo "no mutants selected" >&2; exit 1; fi
  if [ "$check" = 1 ]; then echo "${#names[@]} mutants, every pattern found once"; exit 0; fi

  ctest_args=(--preset release --stop-on-failure)
  [ -n "$regex" ] && ctest_args+=(-R "$regex")
  build() { (cd "$tree" && cmake --build --preset release) >"$1" 2>&1; }
  run_tests() { (cd "$tree" && timeout 900 ctest "${ctest_args[@]}") >"$1" 2>&1; }

  echo "building $rev in $tree" >&2
  (cd "$tree" && cmake --preset release) >"$logs/configure.log" 2>&1 || { echo "configure failed: $logs/configure.log" >&2; keep=1; exit 2; }
  build "$logs/build.log" || { echo "the unchanged commit does not build: $logs/build.log" >&2; keep=1; exit 2; }
  run_tests "$logs/tests.log" || { echo "the unchanged commit fails its tests: $logs/tests.log" >&2; keep=1; exit 2; }

  caught=0
  declare -A areaCaught=() areaTotal=()
  printf '%-22s %s\n' mutant result
  for i in "${!names[@]}"; do
    name=${names[$i]} file=${files[$i]}
    PATTERN="${patterns[$i]}" REPLACEMENT="${replacements[$i]}" \
      perl -pi -e 's/\Q$ENV{PATTERN}\E/$ENV{REPLACEMENT}/' "$tree/$file"
    if ! build "$logs/$name.build.log"; then
      result="does not build"
      stale=1
    elif run_tests "$logs/$name.log"; then
      result=missed
    else
      caught=$((caught + 1))
      areaCaught[${areas[$i]}]=$((${areaCaught[${areas[$i]}]:-0} + 1))
      # The first test that failed, from ctest's summary.
      first=$(sed -n '/tests FAILED:/{n;p;q}' "$logs/$name.log" | sed -E 's/^[[:space:]]*[0-9]+ - //')
      result="caught  ${first:-(the run timed out)}"
    fi
    areaTotal[${areas[$i]}]=$((${areaTotal[${areas[$i]}]:-0} + 1))
    printf '%-22s %s\n' "$name" "$result"
    git -C "$tree" checkout -q -- "$file"
  done
  echo "by area:"
  for i in "${!names[@]}"; do
    a=${areas[$i]}
    [ -n "${areaTotal[$a]:-}" ] || continue
    printf '  %-32s %3d of %3d caught (%d %%)\n' "$a" "${areaCaught[$a]:-0}" "${areaTotal[$a]}" \
      $((100 * ${areaCaught[$a]:-0} / ${areaTotal[$a]}))
    unset "areaTotal[$a]"
  done
  total=${#names[@]}
  percent=$((100 * caught / total))
  echo "score: $caught of $total caught ($percent %)"
  if [ "$stale" = 1 ]; then exit 1; fi
  if [ -n "$min" ] && [ "$percent" -lt "$min" ]; then exit 3; fi
}

main "$@"; exit $?
