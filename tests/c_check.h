/* The C test programs' one assertion: report the failed condition and go on,
 * so that main can return the count of failures. */
#ifndef PIXPEN_TESTS_C_CHECK_H
#define PIXPEN_TESTS_C_CHECK_H

#include <stdio.h>

static int failures = 0;

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);               \
            ++failures;                                                                            \
        }                                                                                          \
    } while (0)

#endif
