#!/usr/bin/env bash
# Builds the programs that run threads under ThreadSanitizer in build-tsan/ and
# runs the tests that use threads (the edit queue, the audio stream, MIDI,
# JACK, the remote control, the window). Any report in any process is a
# failure: reports are written to files, and the run fails when one exists.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKEL_TSAN=ON -DKEL_BENCH=OFF >/dev/null
cmake --build build-tsan -j"$(nproc)" --target z_ozodive test_patch test_shell test_e2e
reports="$(pwd)/build-tsan/reports"
rm -rf "$reports"
mkdir -p "$reports"
export TSAN_OPTIONS="log_path=$reports/tsan history_size=4 suppressions=$(pwd)/tests/tsan.supp"
# WindowPlay is left to the main run: it times a held key against the sound to
# within 0.2 s, which the instrumented program is too slow to keep.
THREADED='^(Edits|RenderCallback|MidiNotes|JackPlay|RemoteServer|NoSound|LibraryCallbacks|OutputRecorder|Window|WindowPanels|COMPUTER_KEYS|Patching|BuildPatch|History|SaveFromWindow|FilesWindow|LiveRemote|Routes/LiveSound|SoundSwitch|SoundOutputPanel)[./]'
ctest --test-dir build-tsan --output-on-failure -j"$(nproc)" -R "$THREADED"
if compgen -G "$reports/tsan*" >/dev/null; then
  echo "ThreadSanitizer reports:"
  cat "$reports"/tsan*
  exit 1
fi
echo "ThreadSanitizer: no report"
