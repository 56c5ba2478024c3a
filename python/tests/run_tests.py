"""Runs the package's tests for CTest. Without pytest they are skipped (exit
77), except under CI=true, where that is a failure; pytest's "no tests ran"
is a failure too."""
import os
import sys

try:
    import pytest
except ImportError:
    if os.environ.get("CI", "").lower() in ("1", "true", "yes"):
        print("FAILED: pytest is not installed (Debian: python3-pytest), and CI runs these tests")
        sys.exit(1)
    print("SKIPPED: pytest is not installed (Debian: python3-pytest)")
    sys.exit(77)

code = pytest.main(sys.argv[1:])
sys.exit(1 if code == pytest.ExitCode.NO_TESTS_COLLECTED else int(code))
