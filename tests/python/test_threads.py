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


def test_the_engine_runs_without_the_interpreter_lock():
    # With no forced switching, another thread runs Python only if detect lets go of the lock.
    picture = np.clip(star_field((600, 600), 100, seed=71), 0, 255).astype(np.uint8)
    started, state, counted = threading.Event(), {"done": False}, [0]

    def work():
        started.set()
        orvandel.detect(picture)
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
    assert counted[0] > 0
