#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A dual-axis tilt sensor as seen from its serial line: request bytes in, reply
// bytes out. Pure logic with an explicit clock, so the tests drive it directly
// and tiltsim only moves bytes between it and a pseudo-terminal.

enum class SimProtocol { Tarq, Modbus };

struct SimulatorOptions {
    SimProtocol protocol = SimProtocol::Tarq;
    uint8_t address = 0;
    // Frame protocol: the reply's length byte (10, 13, 15, 16 or 17) and its
    // command (0x81 X only, 0x82 Y only, 0x84 or 0x94 both).
    int layout = 13;
    uint8_t replyCommand = 0x84;
    // Automatic output rate in frames per second until a frequency request
    // changes it; 0 = off, infinity = as fast as the line takes them.
    double outputHz = 0.0;
    // Every Nth measurement frame goes out with a wrong checksum or CRC; 0 = never.
    int badChecksumEvery = 0;
    // Random bytes of every value written before every frame, 0x68 and the
    // address included, as a real line carries them: a receiver has to find the
    // frame behind false starts, not merely skip bytes it does not hunt for.
    int noiseBytes = 0;
    uint32_t noiseSeed = 0x2545F491u;
    // A sensor that hears nothing: requests are dropped unanswered and unapplied.
    bool silent = false;
    // Automatic output is line noise of every byte value, 0x68 and the address
    // included, a frame's worth at a time; replies to requests stay whole.
    bool garbage = false;
    // Automatic output is this one byte value over and over; -1 = off.
    int floodByte = -1;
    // Modbus only: behave as a standard Modbus device. A new address, baud rate or
    // parity holds from the echo on (the old address is no longer heard), and
    // tiltsim answers only a client whose line settings equal the sensor's.
    bool standardDevice = false;
    // Modbus only: a read is answered with exactly the registers asked for, two
    // data bytes each, as a standard device does: asked for 4 it sends 8 bytes
    // and no temperature. Automatic output sends what the last read asked for.
    // Off: 10 data bytes whether 4 or 5 registers from register 2 are asked for.
    bool registersAsAsked = false;
    // Added to the clock before the signal is taken, so sensors on one bus move
    // out of step and their rows differ.
    double signalOffsetSeconds = 0.0;
    // Frame protocol: answer requests to 0xFF. One sensor alone on its line may;
    // on a bus every sensor would answer at once, so there they only obey.
    bool answerTarqBroadcast = true;
    // The line the sensor starts on; settings requests change it.
    uint32_t baud = 9600;
    char parity = 'N';
};

struct TiltSample {
    double x = 0.0;
    double y = 0.0;
    double temperature = 0.0;
};

class SensorSimulator {
public:
    using Frames = std::vector<std::vector<uint8_t>>;

    explicit SensorSimulator(const SimulatorOptions& options);

    // Request bytes as they arrive, in any chunking. Returns what the sensor sends
    // back, one entry per frame, the noise before a frame included in its entry.
    Frames Feed(const uint8_t* bytes, size_t count, double nowSeconds);
    // Feed with every frame concatenated.
    std::vector<uint8_t> OnBytes(const uint8_t* bytes, size_t count, double nowSeconds);
    // One frame of automatic output: what a read request would be answered with.
    std::vector<uint8_t> MakeMeasurementFrame(double nowSeconds);

    // The undisturbed motion, and what the sensor reports with its zero point applied.
    static TiltSample Signal(double nowSeconds);
    TiltSample Reading(double nowSeconds) const;

    const SimulatorOptions& Options() const { return options_; }
    uint8_t Address() const { return address_; }
    double OutputHz() const { return outputHz_; }
    uint32_t Baud() const { return baud_; }
    char Parity() const { return parity_; }
    bool ZeroSet() const { return zeroSet_; }
    int SaveCount() const { return saveCount_; }
    uint64_t MeasurementFrames() const { return measurementFrames_; }

    // Frequency lists, by request data value, of the two protocols.
    static constexpr double kTarqFrequencies[] = {0, 5, 15, 25, 35, 50};
    static constexpr double kModbusFrequencies[] = {0, 10, 25, 50, 5, 15};
    // Modbus: X in registers 2-3, Y in 4-5, the temperature in 6.
    static constexpr unsigned kModbusFirstRegister = 2;
    static constexpr unsigned kModbusRegisters = 5;

private:
    void FeedTarq(double now, Frames& out);
    void FeedModbus(double now, Frames& out);
    void HandleTarq(const uint8_t* frame, double now, Frames& out);
    void HandleModbus(const uint8_t* frame, double now, Frames& out);

    std::vector<uint8_t> TarqMeasurement(double now, bool spoil) const;
    std::vector<uint8_t> ModbusMeasurement(uint8_t replyAddress, double now, bool spoil) const;
    std::vector<uint8_t> TarqAcknowledge(uint8_t command, bool ok) const;
    std::vector<uint8_t> ModbusException(uint8_t replyAddress, uint8_t function,
                                         uint8_t code) const;
    // Counts the measurement frame and says whether this one is to be spoilt.
    bool NextMeasurementSpoilt();
    std::vector<uint8_t> WithNoise(std::vector<uint8_t> frame);
    uint8_t NextNoiseByte();
    bool SetFrequency(uint8_t value, const double* table);
    void SetZero(bool on, double now);

    SimulatorOptions options_;
    uint8_t address_;
    // Modbus, default mode: the address the master still uses after an address
    // change, since it confirms a write only by the echo of a repeated request to
    // the old address. A standard device forgets the old address at once.
    int previousAddress_ = -1;
    double outputHz_;
    uint32_t baud_;
    char parity_;
    bool zeroSet_ = false;
    TiltSample zero_;
    int saveCount_ = 0;
    uint64_t measurementFrames_ = 0;
    uint32_t noiseState_;
    // registersAsAsked: the registers of the last read, the window's four at first.
    unsigned readFirst_ = kModbusFirstRegister;
    unsigned readCount_ = 4;

    std::vector<uint8_t> rx_;
    double lastRxSeconds_ = 0.0;
};
