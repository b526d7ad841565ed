/* velklb.sys: the Windows host of the simulated executor, a kernel-mode driver.
 *
 * It creates \Device\velklb with the DOS name velklb, so that \\.\velklb opens it, and serves
 * the executor's I/O control code on the system buffer through the shared core. The test
 * control lines (scripts, record, reset, aliases) come in through the same device on a control
 * code of their own: input the line, output the answer line with its terminating NUL. */

#include <ntddk.h>

#include "core_glue.h"

#define VELK_EXECUTOR_CODE 0x212014u /* device type 0x21, function 0x805, buffered */
#define VELK_CONTROL_CODE 0x212018u  /* function 0x806, buffered */
#define VELK_POOL_TAG 0x6B6C6576u    /* "velk" */

NTSYSAPI NTSTATUS NTAPI ZwQuerySystemInformation(ULONG informationClass, PVOID information,
                                                 ULONG length, PULONG returned);

/* What SystemTimeOfDayInformation (class 3) answers; only the current time is used. */
typedef struct {
    LARGE_INTEGER bootTime;
    LARGE_INTEGER currentTime;
    LARGE_INTEGER timeZoneBias;
    ULONG timeZoneId;
    ULONG reserved;
    ULONGLONG bootTimeBias;
    ULONGLONG sleepTimeBias;
} VelkTimeOfDay;

static void* g_state;
static PDEVICE_OBJECT g_device;
static KMUTEX g_lock;
static WCHAR g_deviceName[] = L"\\Device\\velklb";
static WCHAR g_linkName[] = L"\\DosDevices\\velklb";

static uint64_t unixSeconds(void) {
    VelkTimeOfDay now;
    ULONG length = 0;
    RtlZeroMemory(&now, sizeof now);
    if (!NT_SUCCESS(ZwQuerySystemInformation(3, &now, sizeof now, &length))) return 0;
    /* 100 ns ticks since 1601 to seconds since 1970. */
    uint64_t seconds = (uint64_t)now.currentTime.QuadPart / 10000000u;
    return seconds > 11644473600u ? seconds - 11644473600u : 0;
}

static NTSTATUS complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

/* Device errors travel as Win32-facility statuses, which the caller's GetLastError turns back
 * into the very code the script named (codes up to 65535). */
static NTSTATUS statusOfDeviceError(uint32_t error) {
    return (NTSTATUS)(0xC0070000u | (error & 0xFFFFu));
}

static NTSTATUS dispatchDeviceControl(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
    ULONG inLength = stack->Parameters.DeviceIoControl.InputBufferLength;
    ULONG outLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
    uint8_t* buffer = (uint8_t*)irp->AssociatedIrp.SystemBuffer;
    uint32_t length = 0;
    uint32_t error = 0;
    NTSTATUS status = STATUS_INVALID_DEVICE_REQUEST;
    (void)device;
    if (buffer == NULL) return complete(irp, STATUS_INVALID_PARAMETER, 0);

    KeWaitForSingleObject(&g_lock, Executive, KernelMode, FALSE, NULL);
    if (code == VELK_EXECUTOR_CODE) {
        switch (velkGlueRequest(g_state, unixSeconds(), buffer, inLength, outLength, &length,
                                &error)) {
            case VELK_GLUE_ANSWER: status = STATUS_SUCCESS; break;
            case VELK_GLUE_ERROR: status = statusOfDeviceError(error); break;
            default: status = STATUS_INVALID_PARAMETER; break;
        }
    } else if (code == VELK_CONTROL_CODE) {
        status = velkGlueControl(g_state, unixSeconds(), buffer, inLength, (char*)buffer,
                                 outLength, &length) == 0
                     ? STATUS_SUCCESS
                     : STATUS_BUFFER_TOO_SMALL;
    }
    KeReleaseMutex(&g_lock, FALSE);
    return complete(irp, status, NT_SUCCESS(status) ? length : 0);
}

static NTSTATUS dispatchOpenClose(PDEVICE_OBJECT device, PIRP irp) {
    (void)device;
    return complete(irp, STATUS_SUCCESS, 0);
}

static void unload(PDRIVER_OBJECT driver) {
    UNICODE_STRING link;
    (void)driver;
    RtlInitUnicodeString(&link, g_linkName);
    IoDeleteSymbolicLink(&link);
    if (g_device != NULL) IoDeleteDevice(g_device);
    g_device = NULL;
    if (g_state != NULL) ExFreePoolWithTag(g_state, VELK_POOL_TAG);
    g_state = NULL;
}

NTSTATUS NTAPI DriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath) {
    UNICODE_STRING name;
    UNICODE_STRING link;
    NTSTATUS status;
    (void)registryPath;
    g_state = ExAllocatePoolWithTag(NonPagedPool, velkGlueStateSize(), VELK_POOL_TAG);
    if (g_state == NULL) return STATUS_INSUFFICIENT_RESOURCES;
    velkGlueInit(g_state, unixSeconds());
    KeInitializeMutex(&g_lock, 0);

    RtlInitUnicodeString(&name, g_deviceName);
    status = IoCreateDevice(driver, 0, &name, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status)) {
        unload(driver);
        return status;
    }
    RtlInitUnicodeString(&link, g_linkName);
    status = IoCreateSymbolicLink(&link, &name);
    if (!NT_SUCCESS(status)) {
        unload(driver);
        return status;
    }
    g_device->Flags |= DO_BUFFERED_IO;
    driver->MajorFunction[IRP_MJ_CREATE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_CLOSE] = dispatchOpenClose;
    driver->MajorFunction[IRP_MJ_DEVICE_CONTROL] = dispatchDeviceControl;
    driver->DriverUnload = unload;
    return STATUS_SUCCESS;
}
