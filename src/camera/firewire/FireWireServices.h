/* What the FireWire manager needs of the machine: the device-setup library's
 * four enumeration calls, device notifications, and the cameras' device driver
 * (bus reads and writes at 48-bit addresses and four device-control requests).
 * They are all taken by name from the setup library ("Setupapi") at run time;
 * a machine without it has no FireWire cameras. Plain C, so the library can be
 * written in either language. */
#ifndef LUMORA_FIREWIRE_SERVICES_H
#define LUMORA_FIREWIRE_SERVICES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct FwGuid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
} FwGuid;

/* Device-interface class of the cameras: {78441BC0-6375-11D2-8243-00A024DF848C}. */
#define FW_CAMERA_INTERFACE_GUID_INIT {0x78441BC0u, 0x6375u, 0x11D2u, {0x82, 0x43, 0x00, 0xA0, 0x24, 0xDF, 0x84, 0x8C}}

/* Enumeration flags: present devices, device interfaces. */
#define FW_DIGCF_PRESENT_INTERFACES 0x12u
/* Interface flag of an active interface. */
#define FW_INTERFACE_ACTIVE 1u
#define FW_PATH_BYTES 260u

typedef struct FwDeviceInterfaceData {
    uint32_t size;
    FwGuid classGuid;
    uint32_t flags;
    uint32_t reserved;
} FwDeviceInterfaceData;

typedef struct FwDeviceInfoData {
    uint32_t size;            /* set to 28 by the caller */
    FwGuid classGuid;
    uint32_t devInst;         /* the device-instance number: the camera's driver id */
    uint32_t reserved;
} FwDeviceInfoData;

typedef struct FwInterfaceDetail {
    uint32_t size;            /* set to 5 by the caller */
    char devicePath[FW_PATH_BYTES];
} FwInterfaceDetail;

/* Device-notification events. */
#define FW_DEVICE_ARRIVAL 0x8000u
#define FW_DEVICE_REMOVE_COMPLETE 0x8004u
typedef void (*FwDeviceNotifyFn)(void* context, uint32_t event);

/* Device-control requests of the cameras' driver. */
#define FW_IOCTL_ALLOCATE_ADDRESS_RANGE 0x22200Cu
#define FW_IOCTL_FREE_ADDRESS_RANGE 0x222010u
#define FW_IOCTL_WATCH_ADDRESS_RANGE 0x22206Cu
#define FW_IOCTL_BUS_RESET_NOTIFY 0x222030u

/* Answer of a request that completes later through its completion record. */
#define FW_IO_PENDING 997u

/* The 24-byte range record of the driver, as numbers (the driver is ours to
 * call; the buffer address is a native pointer). */
typedef struct FwRangeRecord {
    uint32_t length;
    uint16_t addressHigh;
    uint16_t reserved;
    uint32_t addressLow;
    uint32_t accessFlags;
    uint32_t notifyFlags;
    uint8_t* buffer;
} FwRangeRecord;

/* The overlapped record: the driver calls signal(context) once when a pending
 * request completes. A request cancelled by FwCancelIo is never signalled. */
typedef struct FwCompletion {
    void (*signal)(void* context);
    void* context;
} FwCompletion;

typedef void* (*FwGetClassDevsFn)(const FwGuid* guid, const char* enumerator, void* parent, uint32_t flags);
typedef int (*FwEnumDeviceInterfacesFn)(void* set, void* deviceInfo, const FwGuid* guid, uint32_t index,
                                        FwDeviceInterfaceData* data);
typedef int (*FwGetDeviceInterfaceDetailFn)(void* set, FwDeviceInterfaceData* data, FwInterfaceDetail* detail,
                                            uint32_t detailSize, uint32_t* requiredSize, FwDeviceInfoData* info);
typedef int (*FwDestroyDeviceInfoListFn)(void* set);

typedef void* (*FwRegisterNotificationFn)(const FwGuid* guid, FwDeviceNotifyFn notify, void* context);
typedef int (*FwUnregisterNotificationFn)(void* registration);

/* Device driver: 0 or a system error number. Reads and writes complete before
 * they answer; device control may answer FW_IO_PENDING. */
typedef uint32_t (*FwOpenDeviceFn)(const char* path, uint32_t* handle);
typedef uint32_t (*FwCloseDeviceFn)(uint32_t handle);
typedef uint32_t (*FwReadBusFn)(uint32_t handle, uint64_t address, void* buffer, uint32_t length, uint32_t* done);
typedef uint32_t (*FwWriteBusFn)(uint32_t handle, uint64_t address, const void* buffer, uint32_t length);
typedef uint32_t (*FwDeviceControlFn)(uint32_t handle, uint32_t code, FwRangeRecord* range, FwCompletion* completion);
typedef uint32_t (*FwCancelIoFn)(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
