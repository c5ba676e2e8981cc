#include "SerialPortBackend.h"

#include "QtSerialPortBackend.h"

namespace
{
SerialPortFactory &factory()
{
    static SerialPortFactory f;
    return f;
}
} // namespace

std::unique_ptr<SerialPortBackend> CreateSerialPort()
{
    if (factory())
        return factory()();
    return std::make_unique<QtSerialPortBackend>();
}

void SetSerialPortFactory(SerialPortFactory f)
{
    factory() = std::move(f);
}
