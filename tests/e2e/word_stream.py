"""The bytes a wipe leaves behind, computed from the word-stream definition alone.

One seed is drawn per pass from a state that starts at 1; each pass then writes the words
that follow its seed, least significant byte first, in blocks of 16,384 bytes.
"""

import array
import sys

PASS_COUNT = 10
BLOCK_BYTES = 16384
_MULTIPLIER = 214013
_INCREMENT = 2531011
_MASK = 0xFFFFFFFF


def _step(state):
    return (state * _MULTIPLIER + _INCREMENT) & _MASK


def pass_seeds():
    """The ten seeds, in pass order: every run draws the same ones."""
    state = 1
    seeds = []
    for _ in range(PASS_COUNT):
        state = _step(state)
        seeds.append((state >> 16) & 0x7FFF)
    return seeds


def pass_bytes(pass_index, length):
    """The first length bytes that pass pass_index writes from offset 0."""
    state = pass_seeds()[pass_index]
    words = array.array("I", bytes(4 * ((length + 3) // 4)))
    for at in range(len(words)):
        state = _step(state)
        words[at] = state
    if sys.byteorder != "little":
        words.byteswap()
    return words.tobytes()[:length]


def wiped_length(size):
    """A file's length after the first pass: whole blocks always reach the disk."""
    return -(-size // BLOCK_BYTES) * BLOCK_BYTES
