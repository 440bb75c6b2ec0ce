#include "DSErrorText.h"

#include <dshow.h>
#include <strsafe.h>

#include "framework/OnDemand.h"

namespace {

struct DSErrorText
{
    HRESULT hr;
    const wchar_t* pszText;
};

// Descriptions of the codes a graph can return while it is built, run and
// sought; the wording is the program's own.
const DSErrorText s_rgTexts[] = {
    {VFW_S_NO_MORE_ITEMS, L"The end of the list has been reached."},
    {VFW_S_DUPLICATE_NAME, L"A filter with the same name is already in the graph; the new one was added under another name."},
    {VFW_S_STATE_INTERMEDIATE, L"The state change has not finished yet."},
    {VFW_S_PARTIAL_RENDER, L"Some of the streams could not be rendered."},
    {VFW_S_SOME_DATA_IGNORED, L"The file contained data that was not understood and has been skipped."},
    {VFW_S_CONNECTIONS_DEFERRED, L"Some connections were put off and will be made later."},
    {VFW_S_RESOURCE_NOT_NEEDED, L"The resource was not needed."},
    {VFW_S_MEDIA_TYPE_IGNORED, L"A media type was given where none is used; it has been ignored."},
    {VFW_S_VIDEO_NOT_RENDERED, L"The video stream could not be rendered; the rest of the graph was built."},
    {VFW_S_AUDIO_NOT_RENDERED, L"The audio stream could not be rendered; the rest of the graph was built."},
    {VFW_S_ESTIMATED, L"The value is an estimate."},
    {VFW_S_STREAM_OFF, L"The stream has been switched off."},
    {VFW_S_CANT_CUE, L"The filter is paused but cannot produce data while paused."},
    {VFW_S_NO_STOP_TIME, L"The sample has a start time but no stop time."},
    {VFW_S_NOPREVIEWPIN, L"There is no preview pin; a smart tee is used instead."},
    {VFW_E_INVALIDMEDIATYPE, L"The media type is not valid."},
    {VFW_E_INVALIDSUBTYPE, L"The media subtype is not valid."},
    {VFW_E_NEED_OWNER, L"The object can be used only while it has an owner."},
    {VFW_E_ENUM_OUT_OF_SYNC, L"The list changed while it was being enumerated; start the enumeration again."},
    {VFW_E_ALREADY_CONNECTED, L"The pin is already connected."},
    {VFW_E_FILTER_ACTIVE, L"The operation is not possible while the filter is running or paused."},
    {VFW_E_NO_TYPES, L"The pin offers no media type."},
    {VFW_E_NO_ACCEPTABLE_TYPES, L"The two pins have no media type in common."},
    {VFW_E_INVALID_DIRECTION, L"Two pins of the same direction cannot be connected."},
    {VFW_E_NOT_CONNECTED, L"The pin is not connected."},
    {VFW_E_NO_ALLOCATOR, L"No sample allocator is available."},
    {VFW_E_RUNTIME_ERROR, L"A run-time error occurred."},
    {VFW_E_BUFFER_NOTSET, L"No buffer space has been set."},
    {VFW_E_BUFFER_OVERFLOW, L"The buffer is too small for the data."},
    {VFW_E_BADALIGN, L"The buffer alignment is not valid."},
    {VFW_E_ALREADY_COMMITTED, L"The allocator cannot be changed after it has been committed."},
    {VFW_E_BUFFERS_OUTSTANDING, L"Buffers of the allocator are still in use."},
    {VFW_E_NOT_COMMITTED, L"The allocator has not been committed; no sample can be taken from it."},
    {VFW_E_SIZENOTSET, L"The buffer size has not been set."},
    {VFW_E_NO_CLOCK, L"The graph has no reference clock."},
    {VFW_E_NO_SINK, L"No event sink has been set."},
    {VFW_E_NO_INTERFACE, L"A required interface is not available."},
    {VFW_E_NOT_FOUND, L"The object or name was not found."},
    {VFW_E_CANNOT_CONNECT, L"No combination of filters could be found to make the connection."},
    {VFW_E_CANNOT_RENDER, L"No combination of filters could be found to render the stream."},
    {VFW_E_CHANGING_FORMAT, L"The format could not be changed."},
    {VFW_E_NO_COLOR_KEY_SET, L"No colour key has been set."},
    {VFW_E_NOT_OVERLAY_CONNECTION, L"The connection does not use the overlay transport."},
    {VFW_E_NOT_SAMPLE_CONNECTION, L"The connection does not use media samples."},
    {VFW_E_PALETTE_SET, L"A palette is set; the colour key cannot be used with it."},
    {VFW_E_COLOR_KEY_SET, L"A colour key is set; the palette cannot be used with it."},
    {VFW_E_NO_COLOR_KEY_FOUND, L"No matching colour key is available."},
    {VFW_E_NO_PALETTE_AVAILABLE, L"No palette is available."},
    {VFW_E_NO_DISPLAY_PALETTE, L"The display does not use a palette."},
    {VFW_E_TOO_MANY_COLORS, L"The display has too many colours."},
    {VFW_E_STATE_CHANGED, L"The state changed while the operation was waiting for samples."},
    {VFW_E_NOT_STOPPED, L"The operation needs a stopped filter."},
    {VFW_E_NOT_PAUSED, L"The operation needs a paused filter."},
    {VFW_E_NOT_RUNNING, L"The operation needs a running filter."},
    {VFW_E_WRONG_STATE, L"The filter is in the wrong state for the operation."},
    {VFW_E_START_TIME_AFTER_END, L"The start time is later than the stop time."},
    {VFW_E_INVALID_RECT, L"The rectangle is not valid."},
    {VFW_E_TYPE_NOT_ACCEPTED, L"The pin does not accept the media type."},
    {VFW_E_SAMPLE_REJECTED, L"The sample could not be delivered: the filter is stopped, flushing or failed."},
    {VFW_E_SAMPLE_REJECTED_EOS, L"The sample could not be delivered: the stream has ended."},
    {VFW_E_DUPLICATE_NAME, L"A filter with this name is already in the graph."},
    {VFW_E_TIMEOUT, L"The operation timed out."},
    {VFW_E_INVALID_FILE_FORMAT, L"The file format is not valid."},
    {VFW_E_ENUM_OUT_OF_RANGE, L"The enumeration is out of range."},
    {VFW_E_CIRCULAR_GRAPH, L"The connection would make the graph circular."},
    {VFW_E_NOT_ALLOWED_TO_SAVE, L"Saving is not allowed in this state."},
    {VFW_E_TIME_ALREADY_PASSED, L"The requested time has already passed."},
    {VFW_E_ALREADY_CANCELLED, L"The time event has already been cancelled."},
    {VFW_E_CORRUPT_GRAPH_FILE, L"The saved graph file is damaged."},
    {VFW_E_ADVISE_ALREADY_SET, L"An advise link is already set up."},
    {VFW_E_NO_MODEX_AVAILABLE, L"The full-screen display mode is not available."},
    {VFW_E_NO_ADVISE_SET, L"No advise link has been set up."},
    {VFW_E_NO_FULLSCREEN, L"No full-screen renderer is available."},
    {VFW_E_IN_FULLSCREEN_MODE, L"The operation is not possible in full-screen mode."},
    {VFW_E_UNKNOWN_FILE_TYPE, L"The type of the file is not recognised."},
    {VFW_E_CANNOT_LOAD_SOURCE_FILTER, L"The source filter for the file could not be loaded."},
    {VFW_E_FILE_TOO_SHORT, L"The file is shorter than its contents say."},
    {VFW_E_INVALID_FILE_VERSION, L"The version of the file is not supported."},
    {VFW_E_INVALID_CLSID, L"The file names a class identifier that is not valid."},
    {VFW_E_INVALID_MEDIA_TYPE, L"The file names a media type that is not valid."},
    {VFW_E_SAMPLE_TIME_NOT_SET, L"The sample has no time stamp."},
    {VFW_E_MEDIA_TIME_NOT_SET, L"The sample has no media time."},
    {VFW_E_NO_TIME_FORMAT_SET, L"No time format has been chosen."},
    {VFW_E_MONO_AUDIO_HW, L"The audio device handles mono only."},
    {VFW_E_NO_DECOMPRESSOR, L"No decompressor is installed for the video format."},
    {VFW_E_NO_AUDIO_HARDWARE, L"No audio device is available."},
    {VFW_E_PROCESSOR_NOT_SUITABLE, L"The processor is not suitable for this format."},
    {VFW_E_UNSUPPORTED_AUDIO, L"The audio format is not supported."},
    {VFW_E_UNSUPPORTED_VIDEO, L"The video format is not supported."},
    {VFW_E_MPEG_NOT_CONSTRAINED, L"The MPEG stream is not a constrained stream."},
    {VFW_E_NOT_IN_GRAPH, L"The filter is not in a graph."},
    {VFW_E_NO_TIME_FORMAT, L"The object does not support the time format."},
    {VFW_E_READ_ONLY, L"The object is read-only."},
    {VFW_E_BUFFER_UNDERFLOW, L"The buffer ran out of data."},
    {VFW_E_UNSUPPORTED_STREAM, L"The stream format is not supported."},
    {VFW_E_NO_TRANSPORT, L"The pins have no transport in common."},
    {VFW_E_OUT_OF_VIDEO_MEMORY, L"There is not enough video memory."},
    {VFW_E_NO_CAPTURE_HARDWARE, L"No capture device is available."},
    {VFW_E_TIME_EXPIRED, L"The time has expired."},
    {VFW_E_FRAME_STEP_UNSUPPORTED, L"Frame stepping is not supported."},
    {VFW_E_PIN_ALREADY_BLOCKED_ON_THIS_THREAD, L"The pin is already blocked on this thread."},
    {VFW_E_PIN_ALREADY_BLOCKED, L"The pin is already blocked."},
    {VFW_E_CERTIFICATION_FAILURE, L"A filter of the graph failed its certification."},
    {VFW_E_BAD_KEY, L"The registry entry is damaged."},
};

const wchar_t* FindTableText(HRESULT hr)
{
    for (const DSErrorText& entry : s_rgTexts)
        if (entry.hr == hr)
            return entry.pszText;
    return nullptr;
}

// Wine's quartz answers every code with this form, which describes nothing.
bool IsGenericText(HRESULT hr, const wchar_t* pszText)
{
    wchar_t szGeneric[32];
    ::StringCchPrintfW(szGeneric, ARRAYSIZE(szGeneric), L"Error: 0x%x", static_cast<UINT>(hr));
    return ::lstrcmpiW(pszText, szGeneric) == 0;
}

} // namespace

DWORD GetDirectShowErrorText(HRESULT hr, wchar_t* pszBuf, DWORD cchMax)
{
    if (pszBuf == nullptr || cchMax == 0)
        return 0;
    pszBuf[0] = L'\0';

    // The platform's texts live in quartz.dll, loaded for the first error
    // shown rather than at every start.
    static const auto pfnAMGetErrorText = OnDemand<decltype(&::AMGetErrorTextW)>(L"quartz.dll", "AMGetErrorTextW");
    wchar_t szPlatform[MAX_ERROR_TEXT_LEN] = L"";
    DWORD cch = pfnAMGetErrorText != nullptr ? pfnAMGetErrorText(hr, szPlatform, MAX_ERROR_TEXT_LEN) : 0;
    const wchar_t* pszText = (cch > 0 && !IsGenericText(hr, szPlatform)) ? szPlatform : FindTableText(hr);
    if (pszText == nullptr)
        return 0;
    ::StringCchCopyW(pszBuf, cchMax, pszText);
    return static_cast<DWORD>(wcslen(pszBuf));
}
