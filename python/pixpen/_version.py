# The Python package's own version; the library's is pixpen.__version__.
__version__ = "0.3.0"
