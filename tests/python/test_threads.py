"""detect on several threads at once."""

import sys
import threading
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import orvandel
from conftest import SAMPLE, star_field
from test_detect import assert_same_tables


def test_two_threads_give_the_results_of_one_after_the_other():
    pictures = [np.clip(star_field((300, 340), 80, seed=s), 0, 255).astype(np.uint8)
                for s in (61, 62)] + [SAMPLE]
    alone = [orvandel.detect(p, hyotan=True) for p in pictures]
    with ThreadPoolExecutor(2) as pool:
        for _ in range(3):
            together = list(pool.map(lambda p: orvandel.detect(p, hyotan=True), pictures))
            for a, b in zip(alone, together):
                assert_same_tables(a, b)
                assert a.meta["counts"] == b.meta["counts"]


def counted_while_detecting(picture):
    """How far the main thread counted while another thread ran the engine on `picture`. With
    no forced switching, it can count only while the engine has let go of the interpreter's
    lock (and the system gave it the processor then). The engine is called without the
    package's Python part, which lets go of the lock in numpy's own loops."""
    started, state, counted = threading.Event(), {"done": False}, [0]

    def work():
        started.set()
        orvandel._orvandel.detect(picture, 2, None, None, 0.0, None, False, None)
        state["done"] = True

    interval = sys.getswitchinterval()
    sys.setswitchinterval(1000)
    try:
        worker = threading.Thread(target=work)
        worker.start()
        started.wait()
        while not state["done"] and counted[0] < 200000:
            counted[0] += 1
        worker.join()
    finally:
        sys.setswitchinterval(interval)
    return counted[0]


def test_the_engine_runs_without_the_interpreter_lock():
    picture = np.clip(star_field((1200, 1200), 200, seed=71), 0, 255).astype(np.uint8)
    # The system may not schedule the counting thread during one call; it does in a few.
    assert any(counted_while_detecting(picture) > 0 for _ in range(5))
