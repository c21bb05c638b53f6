#!/usr/bin/env bash
# How well the built-in rules read real notices: runs a labelled corpus kept outside the
# repository (its run.sh feeds every text to `zorbel-extract --preset builtin` and scores the
# events) and prints its table: predicted and real events, precision, recall, F1, ends and
# titles, per language.
#   bench/rules-quality.sh CORPUS_DIR [BUILD_DIR] [--details]
set -euo pipefail
corpus=${1:?usage: bench/rules-quality.sh CORPUS_DIR [BUILD_DIR] [--details]}
build=${2:-build/release}
shift $(($# >= 2 ? 2 : 1))
exec "$corpus/run.sh" "$build/bin/zorbel-extract" "$@"
