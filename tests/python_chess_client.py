# python-chess drives the engine as bots and notebooks do: it sets the
# options a bot's configuration names, and reads the answer to a position
# without a legal move as no move. Usage: python_chess_client.py COMMAND...
# (the engine and any emulator before it), with third_party/python-chess on
# PYTHONPATH. Exit status 77, which CTest counts as skipped, where
# python-chess cannot be imported.
import asyncio
import sys
import tempfile

try:
    import chess
    import chess.engine
except ImportError:
    print("python-chess cannot be imported (PYTHONPATH=third_party/python-chess): skipped")
    sys.exit(77)

MATED = "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1"


async def main(command):
    with tempfile.TemporaryDirectory() as cwd:  # the engine writes its logs there
        _, engine = await chess.engine.popen_uci(command, cwd=cwd)
        try:
            # python-chess refuses an option the engine does not list.
            await engine.configure({"Move Overhead": 100})
            # A client waits for bestmove: a hang would end in its time-out.
            result = await asyncio.wait_for(engine.play(chess.Board(MATED), chess.engine.Limit(time=0.1)), 1.0)
            assert result.move is None, result
        finally:
            await engine.quit()


asyncio.run(main(sys.argv[1:]))
