// Runs the suites on a single-threaded COM apartment, as the program's own
// main thread is.
#include <gtest/gtest.h>

#include <objbase.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    HRESULT hr = ::CoInitialize(nullptr);
    if (FAILED(hr))
        return 3;
    int nResult = RUN_ALL_TESTS();
    ::CoUninitialize();
    return nResult;
}
