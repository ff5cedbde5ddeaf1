#pragma once
// The fixed order of checks that every image call and every camera call of the
// Vq interface follows, for the exports to share. A record type is any type
// with the fields the checks read: an image record has `handle` and `geometry`,
// a camera record has `cameraId`.
#include "CameraHandleMap.h"
#include "DriverState.h"
#include "ImageHandleMap.h"
#include "VqStatus.h"

#include <new>
#include <utility>

namespace lumora::vq {

class VqCall {
public:
    // Whether a camera call needs the camera to be open.
    enum class CameraNeeds { Open, Anything };

    // Runs body and turns anything thrown into a status: no exception ever
    // leaves an export. Allocation is the only thing this layer throws for.
    template <class Body>
    static uint32_t Guarded(Body&& body) noexcept {
        try {
            return std::forward<Body>(body)();
        } catch (...) {
            return VQ_ERR_NO_MEMORY;
        }
    }

    // Image call, steps before the operation: null record, no table, unknown
    // handle. On 0, image is the record's image (validity not yet checked).
    template <class Map, class Record>
    static uint32_t FindImage(const Map* table, const Record* record, typename Map::Object*& image) {
        image = nullptr;
        if (!record) return VQ_ERR_NULL_IMAGE_RECORD;
        if (!table) return VQ_ERR_BAD_HANDLE;
        image = table->Find(record->handle);
        return image ? 0u : VQ_ERR_BAD_HANDLE;
    }

    // Copies the image's info block over the record, then fills its geometry;
    // answers the geometry status.
    template <class Image, class Record>
    static uint32_t RefreshRecord(Image& image, Record* record) {
        image.GetInfo(record);
        return image.GetGeometry(&record->geometry);
    }

    // The whole image call: lookup, validity, the one operation (given the
    // image), then the refresh. A failing operation is answered at once and
    // leaves the record as it was.
    template <class Map, class Record, class Operation>
    static uint32_t ImageCall(const Map* table, Record* record, Operation&& operation) {
        typename Map::Object* image = nullptr;
        if (uint32_t status = FindImage(table, record, image)) return status;
        if (!image->IsValid()) return VQ_ERR_IMAGE_NOT_VALID;
        if (uint32_t status = std::forward<Operation>(operation)(*image)) return status;
        return RefreshRecord(*image, record);
    }

    template <class Record, class Operation>
    static uint32_t ImageCall(Record* record, Operation&& operation) {
        return ImageCall(Driver().images, record, std::forward<Operation>(operation));
    }

    // Camera call, steps before the operation: null record, id 0, no table,
    // unknown id. On 0, camera is the record's camera.
    template <class Map, class Record>
    static uint32_t FindCamera(const Map* table, const Record* record, typename Map::Object*& camera) {
        camera = nullptr;
        if (!record) return VQ_ERR_BAD_HANDLE;
        if (record->cameraId == 0) return VQ_ERR_NO_CAMERA_ID;
        if (!table) return VQ_ERR_BAD_HANDLE;
        camera = table->Find(record->cameraId);
        return camera ? 0u : VQ_ERR_BAD_HANDLE;
    }

    // The whole camera call: lookup, open check when needed, the one operation
    // (given the camera) whose status is answered unchanged. Camera calls never
    // refresh a record.
    template <class Map, class Record, class Operation>
    static uint32_t CameraCall(const Map* table, Record* record, CameraNeeds needs, Operation&& operation) {
        typename Map::Object* camera = nullptr;
        if (uint32_t status = FindCamera(table, record, camera)) return status;
        if (needs == CameraNeeds::Open && !camera->IsOpen()) return VQ_ERR_CAMERA_NOT_OPEN;
        return std::forward<Operation>(operation)(*camera);
    }

    template <class Record, class Operation>
    static uint32_t CameraCall(Record* record, CameraNeeds needs, Operation&& operation) {
        return CameraCall(Driver().cameras, record, needs, std::forward<Operation>(operation));
    }

    // Property, folder and rename calls: an open interface, then a FireWire
    // camera manager.
    static uint32_t FireWireCheck(const DriverState& state = Driver()) {
        if (state.openCount == 0) return VQ_ERR_DRIVER_NOT_OPEN;
        if (!state.fireWireManager) return VQ_ERR_NO_FIREWIRE_MANAGER;
        return 0;
    }

    // Calls that open images: settings and both tables present.
    static uint32_t OpenCallCheck(const DriverState& state = Driver()) {
        return state.settings && state.cameras && state.images ? 0u : VQ_ERR_BAD_HANDLE;
    }

    // Colour-management calls: settings present.
    static uint32_t SettingsCheck(const DriverState& state = Driver()) {
        return state.settings ? 0u : VQ_ERR_DRIVER_NOT_OPEN;
    }
};

} // namespace lumora::vq
