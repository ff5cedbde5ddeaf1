#pragma once
// The core's numeric error codes. Grouped by hundreds: paths 1000, image
// registration 1100, image lists 1200, image bookkeeping 1300, values 1400,
// memory 1500, folders 1600, image kinds and the libraries below them 1700,
// files 1800, preview 1900, opening 2000, progress 2041, finished files and
// thumbnails 2200, threads 2400, view mapping 2500, sharpening 2600, scaling
// and export size 2800, pixel formats 2900.

namespace NimbalCore {

enum NbErrorCodes : int {
    NbErrBadSubsampleLevel = 502,

    NbErrPathStatFailed = 1000,
    NbErrPathTooLong = 1001,
    NbErrNotAFolder = 1002,

    NbErrAddImageFailed = 1100,

    NbErrImageNotListed = 1200,

    NbErrImageChangeCBNotFound = 1300,
    NbErrSoundNotFound = 1301,
    NbErrImageOpenFailed = 1302,
    NbErrNotImplemented = 1303,

    NbErrInvalidValue = 1401,

    NbErrOutOfMemory = 1500,
    NbErrAllocFailed = 1502,
    NbErrNotAllocated = 1503,

    NbErrFolderListFailed = 1601,
    NbErrFolderNoPath = 1602,

    NbErrLibraryFailed = 1700,
    NbErrImageFileOpenFailed = 1701,
    NbErrImageFileInUse = 1702,
    NbErrSetImageTypeFailed = 1703,
    NbErrSetPadFailed = 1704,
    NbErrCacheLoadFailed = 1705,
    NbErrCacheDecodeFailed = 1706,
    NbErrRenderFailed = 1707,
    NbErrThumbnailRenderFailed = 1708,
    NbErrCameraJpegExportFailed = 1709,
    NbErrCameraSettingRefused = 1710,
    NbErrRenderCancelled = 1711,
    NbErrReadSettingsFailed = 1712,
    NbErrSettingsBlockFailed = 1713,
    NbErrNotSupported = 1714,
    NbErrImageReadOnly = 1715,
    NbErrAttributeWriteFailed = 1716,
    NbErrClickPointOutside = 1717,
    NbErrClickBalanceNeedsColor = 1718,
    NbErrClickPointSaturated = 1719,
    NbErrClickBalanceFailed = 1720,
    NbErrCameraSettingsFailed = 1721,
    NbErrAnnotationFailed = 1722,
    NbErrMetadataWriteFailed = 1723,
    NbErrWhiteBalanceFileFailed = 1724,
    NbErrWhiteBalanceUnavailable = 1725,
    NbErrColorEvaluateFailed = 1727,
    NbErrColorEngineInitFailed = 1728,
    NbErrProfileNotFound = 1730,
    NbErrColorProfileFailed = 1731,
    NbErrClickPointTooDark = 1732,
    NbErrDriverInitRefused = 1733,
    NbErrImageBusy = 1734,

    NbErrRenameFailed = 1800,
    NbErrMoveOntoItself = 1801,
    NbErrFileOpenFailed = 1802,
    NbErrFileCloseFailed = 1803,
    NbErrFileDeleteFailed = 1804,
    NbErrFileCopyFailed = 1805,
    NbErrMoveWhileOpen = 1806,
    NbErrRenameWhileOpen = 1807,
    NbErrGetAttributesFailed = 1808,
    NbErrSetAttributesFailed = 1809,
    NbErrFileNotOpen = 1810,
    NbErrFileReadFailed = 1811,
    NbErrFileWriteFailed = 1812,
    NbErrFileSeekFailed = 1813,
    NbErrMoveFailed = 1815,
    NbErrMoveTargetExists = 1816,
    NbErrFilePositionFailed = 1817,
    NbErrBadFileExtension = 1818,
    NbErrRenameAccessDenied = 1819,
    NbErrRenameTargetExists = 1820,
    NbErrNotUnicodeText = 1821,
    NbErrBadEscape = 1822,

    NbErrNoRendering = 1900,
    NbErrRenderingNotCreated = 1901,

    NbErrUnsupportedImage = 2000,
    NbErrProgressCancelled = 2041,

    NbErrNullTiffEntry = 2110,

    NbErrJPEGEmptyFile = 2200,
    NbErrThumbnailReadFailed = 2201,
    NbErrBadThumbnailRect = 2202,
    NbErrNotFinishedImage = 2203,
    NbErrNoThumbnailDirectory = 2204,
    NbErrProfileAllocFailed = 2206,
    NbErrJPEGHeaderFailed = 2207,
    NbErrJPEGHeaderMismatch = 2209,
    NbErrJPEGCreateFailed = 2210,
    NbErrJPEGStartFailed = 2211,
    NbErrJPEGReadFailed = 2212,
    NbErrJPEGFinishFailed = 2213,
    NbErrJPEGDestroyFailed = 2214,
    NbErrJPEGScaleFailed = 2215,

    NbErrThreadFailed = 2400,

    NbErrBadRotation = 2500,

    NbErrSharpenLibraryFailed = 2600,
    NbErrSharpenLibraryNotLoaded = 2601,

    NbErrScalerMissing = 2800,
    NbErrScalerNotLoaded = 2801,
    NbErrScalerNotSetUp = 2802,
    NbErrScalerEmptyRect = 2803,
    NbErrExportTooLarge = 2804,
    NbErrBadArgument = 2807,
    NbErrScalerStripBeginFailed = 2810,
    NbErrScalerStripEndFailed = 2811,
    NbErrScalerProcessFailed = 2812,
    NbErrScalerRectanglesFailed = 2814,
    NbErrScalerNoBuffers = 2815,
    NbErrScalerFormatMismatch = 2816,
    NbErrScalerCancelled = 2817,
    NbErrScalerReservedStatus = 2818,
    NbErrScalerNoProgress = 2819,

    NbErrPixelFormatUnsupported = 2902,
};

} // namespace NimbalCore
