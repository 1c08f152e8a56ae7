#!/usr/bin/env bash
# Remakes the pictures of docs/ that show guiding on the simulated sky: the guider head's
# guiding-information window (docs/guider_guiding.png) and the guiding graph
# (docs/guide_graph.png), taken by the GUI test that guides, under Xvfb at 1366 × 768.
set -eu
cd "$(dirname "$0")/.."
tools/build.sh
KVR_GUI_SHOTS="$PWD/docs" QT_QPA_PLATFORM=xcb \
  xvfb-run -a -s "-screen 0 1366x768x24" build/tests/gui/kvr_gui_tests GuiderWindowsTest
ls -l docs/guider_guiding.png docs/guide_graph.png
