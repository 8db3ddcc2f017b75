// The C interface of the three printer libraries (libTSPL_SDK.so,
// libCPCL_SDK.so, libESC_SDK.so).
//
// Every function uses the C calling convention and returns a 32-bit signed
// result code, 0 for success. Texts are NUL-terminated UTF-16. A printer
// object lives behind an opaque pointer-sized handle; the create and destroy
// functions take the address of the caller's handle variable.
//
// The TSPL and CPCL libraries export the Prt* names (the CPCL library has no
// PrtReadData, TSPL_SelfTest or TSPL_GetSN); the ESC library exports the
// unprefixed names.
#ifndef PELLUM_SDK_H
#define PELLUM_SDK_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void* PellumHandle;
typedef char16_t PellumChar; /* UTF-16 code unit */

/* Result codes. 0 and 5 are part of the contract every caller relies on; the
 * others tell the user what went wrong and are shown as numbers. */
enum PellumSdkResult {
    PELLUM_OK = 0,
    PELLUM_ERR_BAD_HANDLE = 1,      /* null or unknown handle, or a bad argument */
    PELLUM_ERR_BAD_PORT = 2,        /* the port string has no known form */
    PELLUM_ERR_NO_DEVICE = 3,       /* no device behind the port (missing, unplugged) */
    PELLUM_ERR_PERMISSION = 4,      /* the device exists but may not be opened */
    PELLUM_ERR_ALREADY_OPEN = 5,    /* this printer object already holds its port open */
    PELLUM_ERR_BUSY = 6,            /* another process holds the device */
    PELLUM_ERR_TIMEOUT = 7,         /* connect or write did not complete in time */
    PELLUM_ERR_DISCONNECTED = 8,    /* the device or peer went away */
    PELLUM_ERR_NOT_OPEN = 9,        /* write or read without an open port */
    PELLUM_ERR_IO = 10,             /* any other input/output error */
    PELLUM_ERR_REFUSED = 11,        /* the network peer refused the connection */
    PELLUM_ERR_HOST_NOT_FOUND = 12, /* the network host name could not be resolved */
    PELLUM_ERR_BAD_SETTINGS = 13,   /* the serial line settings could not be applied */
    PELLUM_ERR_UNREACHABLE = 14     /* no route to the network host */
};

/* TSPL_SDK and CPCL_SDK */
typedef int32_t (*PrtPrinterCreatorW_t)(PellumHandle* handle, const PellumChar* model);
/* Destroy closes the port; the handle keeps its value and a later open through
 * it works without a new create. */
typedef int32_t (*PrtPrinterDestroy_t)(PellumHandle* handle);
typedef int32_t (*PrtPortOpenW_t)(PellumHandle handle, const PellumChar* port);
typedef int32_t (*PrtPortClose_t)(PellumHandle handle);
typedef int32_t (*PrtWriteData_t)(PellumHandle handle, const uint8_t* data, int32_t count);
/* Reads return as soon as size bytes have arrived, else after the read timeout
 * (no byte) or the inter-byte gap (bytes arrived); see sdk/README.md. */
typedef int32_t (*PrtReadData_t)(PellumHandle handle, uint8_t* buffer, int32_t size,
                                 int32_t* delivered);
typedef int32_t (*PrtReadDataEOF_t)(PellumHandle handle, uint8_t* buffer, int32_t value32,
                                    int32_t size, uint8_t value8, uint8_t endByte,
                                    int32_t* delivered);
typedef int32_t (*TSPL_SelfTest_t)(PellumHandle handle);
typedef int32_t (*TSPL_GetSN_t)(PellumHandle handle, uint8_t* buffer32);

/* ESC_SDK: the same shapes under other names */
typedef PrtPrinterCreatorW_t PrinterCreator_t;
typedef PrtPrinterDestroy_t PrinterDestroy_t;
typedef PrtPortOpenW_t PortOpen_t;
typedef PrtPortClose_t PortClose_t;
typedef PrtWriteData_t WriteData_t;
typedef PrtReadData_t ReadData_t;
typedef PrtReadDataEOF_t ReadDataEOF_t;

#ifdef __cplusplus
}

/* The meaning of a result code, for messages and the command-line tool. */
inline const char* PellumSdkResultMeaning(int32_t code) {
    switch (code) {
    case PELLUM_OK: return "success";
    case PELLUM_ERR_BAD_HANDLE: return "no printer object (null or unknown handle) or bad argument";
    case PELLUM_ERR_BAD_PORT: return "the port string is not of a known form";
    case PELLUM_ERR_NO_DEVICE: return "no device behind this port";
    case PELLUM_ERR_PERMISSION: return "permission denied on the device";
    case PELLUM_ERR_ALREADY_OPEN: return "the port is already open for this printer object";
    case PELLUM_ERR_BUSY: return "the device is held by another program";
    case PELLUM_ERR_TIMEOUT: return "timed out";
    case PELLUM_ERR_DISCONNECTED: return "the device or network peer disconnected";
    case PELLUM_ERR_NOT_OPEN: return "the port is not open";
    case PELLUM_ERR_IO: return "input/output error";
    case PELLUM_ERR_REFUSED: return "the network peer refused the connection";
    case PELLUM_ERR_HOST_NOT_FOUND: return "the network host name could not be resolved";
    case PELLUM_ERR_BAD_SETTINGS: return "the serial line settings could not be applied";
    case PELLUM_ERR_UNREACHABLE: return "the network host cannot be reached";
    case -6: return "no printer object has been created";
    default: return "unknown result code";
    }
}
#endif

#endif
