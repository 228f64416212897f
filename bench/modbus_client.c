/* The reference for bench/modbus.sh: a libmodbus client reading the sensor's
 * five registers from register 2, one request at a time, for SECONDS seconds.
 *
 *   modbus_client HOST PORT UNIT SECONDS
 *
 * Prints "transactions=N seconds=S"; a failed read ends the run with status 1. */
#include <errno.h>
#include <modbus.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: modbus_client HOST PORT UNIT SECONDS\n");
        return 2;
    }
    modbus_t* ctx = modbus_new_tcp(argv[1], atoi(argv[2]));
    if (!ctx || modbus_set_slave(ctx, atoi(argv[3])) != 0 || modbus_connect(ctx) != 0) {
        fprintf(stderr, "modbus_client: %s\n", modbus_strerror(errno));
        return 1;
    }
    const double seconds = atof(argv[4]);
    const double start = Now();
    long n = 0;
    uint16_t regs[5];
    double elapsed = 0;
    while ((elapsed = Now() - start) < seconds) {
        if (modbus_read_registers(ctx, 2, 5, regs) != 5) {
            fprintf(stderr, "modbus_client: read %ld: %s\n", n + 1, modbus_strerror(errno));
            return 1;
        }
        ++n;
    }
    printf("transactions=%ld seconds=%.3f\n", n, elapsed);
    modbus_close(ctx);
    modbus_free(ctx);
    return 0;
}
