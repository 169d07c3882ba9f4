// The device communications object: one per opened instrument. It holds the link settings,
// opens and closes the data channel to the main PIC (channel B of the instrument's FT2232), moves
// bytes over it, keeps the link's health, writes debug lines into the program's log file, and
// carries the state the programming and database operations need.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <array>
#include <vector>

#include "HexFileClass.h"
#include "SerialPort.h"
#include "USBSPI.h"

enum tWhichCPU : uint8_t { NoPic = 0, MainPic = 1, GraphicsPic = 2, DatabasePic = 3, DosimeterPic = 4, Dsp = 5, KeypadPic = 6 };

enum TUseOpenDeviceMethod : uint8_t { OpenByName, OpenByLocation, OpenByIndex };

using TOnTRNCommsProgressEvent = std::function<void(void* Sender, int NumWords)>;
using TOnTRNCommsStatusEvent = std::function<void(void* Sender, const std::string& Status)>;

// The link to the instrument is broken; the program must end.
class EUSBCommsTimeoutException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Link kinds.
constexpr uint8_t CommsTypeVeltraUSB = 1;   // channel B of the instrument's FT2232
constexpr uint8_t CommsTypeSerialARM = 3;   // a serial port to an ARM-based instrument
constexpr uint8_t CommsTypeFtdiSerialARM = 4;  // an FTDI channel carrying a serial line

struct tSubPicProtocol;

class tTRNComms {
public:
    tTRNComms();
    virtual ~tTRNComms();
    tTRNComms(const tTRNComms&) = delete;
    tTRNComms& operator=(const tTRNComms&) = delete;

    void DebugOutput(const std::string& txt, bool alwayslog);

    // The data channel.
    [[nodiscard]] bool OpenUSBDataPort();
    void CloseUSBConnection();
    [[nodiscard]] bool ResetUSBConnection();
    void FlushUSBPipes();
    void SetupFTDISerialProperties(uint32_t BaudRate1, uint8_t DataBits1, uint8_t StopBits1, uint8_t ParityBits1);
    [[nodiscard]] bool OpenARMDataPort();
    void CloseARMDataPort();
    void SetupComPortProperties(uint32_t BaudRate1, tFlowControl FlowControl1, uint8_t DataBits1, uint8_t StopBits1,
                                uint8_t ParityBits1);

    // Identity and status of the main PIC.
    [[nodiscard]] bool GetSignonMessage();
    std::string GetPCBID();
    std::string GetGSN();
    std::string GetTopLevelVersion();
    void GetAllVersions(std::string& Project, std::string& MainPic, std::string& GraphicsPic, std::string& GraphicsFram,
                        std::string& DatabasePic, std::string& DosePic, std::string& Dsp, std::string& KeypadPic);
    int GetMainPicProgramState();
    void SetMainPicPCMasterMode(int YesNo);
    [[nodiscard]] bool PingMilliSeconds(uint8_t TimeOutSecs);
    void ResetAllPics();

    // Programming a processor.
    void SetWhichCPU(tWhichCPU Value);
    [[nodiscard]] bool LoadHexFile();
    [[nodiscard]] bool ProgramDevice(bool SkipVerify, bool IgnoreFlush);
    void BlankDevice();
    // Reads a DSP text image into Data[0..LastIndex]; raises std::runtime_error past LastIndex.
    static void ConvertDSPHexToBin(const std::string& Path, std::vector<uint8_t>& Data, std::string& Version,
                                   int& Size, int LastIndex);
    // True when the first Count words agree; otherwise FirstMismatch is the 1-based first difference.
    static bool CompareWords(const uint16_t* Expected, const uint16_t* Actual, int& FirstMismatch, int Count);

    // Read-back without programming.
    [[nodiscard]] bool VerifyDevice(std::string& ErrorTxt);
    std::string ReadDeviceVersionString();
    std::string ReadDeviceType();
    uint16_t GetWordFromHexFile(uint16_t addr) const;
    uint8_t GetByteFromHexFile(uint16_t addr) const;

    // Properties.
    const TOnTRNCommsProgressEvent& OnTRNCommsProgressEvent() const { return FOnTRNCommsProgressEvent; }
    void SetOnTRNCommsProgressEvent(TOnTRNCommsProgressEvent E) { FOnTRNCommsProgressEvent = std::move(E); }
    const TOnTRNCommsStatusEvent& OnTRNCommsStatusEvent() const { return FOnTRNCommsStatusEvent; }
    void SetOnTRNCommsStatusEvent(TOnTRNCommsStatusEvent E) { FOnTRNCommsStatusEvent = std::move(E); }
    tWhichCPU WhichCPU() const { return FWhichCPU; }
    int SizeOfCurrentHexFile() const { return FSizeOfCurrentHexFile; }
    const std::string& HexFileVersion() const { return FHexFileVersion; }
    bool IsCodeWriteEnabled() const { return FIsCodeWriteEnabled; }
    bool IsLVPenabled() const { return FIsLVPenabled; }
    uint8_t ActualNumberOfPoints() const { return FActualNumberOfPoints; }
    tUSBSPIcomms& USBSPI() { return *USBSPIcomms; }

    const std::string& ApplicationDirectory() const { return FApplicationDirectory; }
    void SetApplicationDirectory(const std::string& V);
    bool DebugLogToFile() const { return FDebugLogToFile; }
    void SetDebugLogToFile(bool V);
    const std::string& DebugLogFilename() const { return FDebugLogFilename; }
    void SetDebugLogFilename(const std::string& V);
    bool DebugLogToWindow() const { return FDebugLogToWindow; }
    void SetDebugLogToWindow(bool V) { FDebugLogToWindow = V; }
    [[nodiscard]] bool IsVelCommsOK() { return GetIsVelCommsOK(); }

private:
    TOnTRNCommsProgressEvent FOnTRNCommsProgressEvent;
    TOnTRNCommsStatusEvent FOnTRNCommsStatusEvent;
    std::unique_ptr<tUSBSPIcomms> USBSPIcomms;
    tWhichCPU FWhichCPU = NoPic;
    int FSizeOfCurrentHexFile = 0;

public:
    std::string FMainPicHexFilePath, FGraphicsPicHexFilePath, FDatabasePicHexFilePath, FDosimeterPicHexFilePath,
        FKeypadPicHexFilePath, FDspHexFilePath;
    std::string FGraphicsFRAMPath;

private:
    std::string FHexFileVersion;
    std::string FApplicationDirectory;

public:
    bool PortBIsOpen = false;
    bool WasPortBOpen = false;

private:
    bool FIsLVPenabled = false;

public:
    bool FIsCodeWriteEnabled = false;
    std::string FDeviceName = "MIRA-ONE";
    uint32_t FDeviceLocation = 0;
    uint32_t FDevicePortAIndex = 0, FDevicePortBIndex = 0;
    std::string FDeviceComPortName = "COM1";
    uint8_t FDeviceCommsType = CommsTypeVeltraUSB;
    TUseOpenDeviceMethod FUseOpenDeviceMethod = OpenByIndex;
    std::string FHexFileDevice;

private:
    bool FDebugLogToFile = false;
    bool FDebugLogToWindow = false;
    std::string FDebugLogFilename;

public:
    int FODSversion = 0;
    uint32_t FDatabaseVersion = 0;

private:
    uint8_t FActualNumberOfPoints = 0;

public:
    bool FIsVelCommsOK = true;
    bool FIndicateCommsNotOK = true;

private:
    std::unique_ptr<tSerialPort> FComPort;

public:
    std::string FARM_TopLevelVersion;
    std::unique_ptr<tHexFile> HexFile;

private:
    // The data channel.
    bool OpenDataPortByName();
    bool OpenDataPortByLocation();
    bool OpenDataPortByIndex();
    bool OpenUSBPortBySerial(const std::string& Name);
    bool OpenUSBPortByLocation(uint32_t Location);
    bool OpenUSBPortByIndex(uint32_t Index);
    void SetUpOpenedChannel();
    void CloseUSBPort();
    bool GetIsVelCommsOK();

    // Byte primitives.
    DWORD SendByte(uint8_t Value);
    uint8_t ReadByte();
    DWORD SendBytes(const uint8_t* Buffer, DWORD Count);
    DWORD ReadBytes(uint8_t* Buffer, DWORD Count);
    bool BytesAvailable(DWORD N);
    bool BytesAvailableOrFail(DWORD N);

protected:
    // The command exchange.
    bool WaitForAckByte(const std::string& CommandName, bool RaiseOnFail, int TimeoutSecs);
    bool WaitForBytes(DWORD Count, int TimeoutSecs, const std::string& CommandName, bool RaiseOnFail);
    // Frame steps 1 and 2: false when the operation must return its failure value.
    bool BeginCommand();
    // Frame step 7: closes the channel when the operation opened it.
    void EndCommand();
    // Polls for Count queued bytes, up to TimeoutSecs; false when they did not come.
    bool PollForBytes(DWORD Count, int TimeoutSecs);

private:
    void HandleSPIProgress(void* Sender, int32_t NumWords);
    void HandleSPIStatus(void* Sender, const std::string& Status);
    void Progress(int NumWords);
    void Status(const std::string& Text);
    bool IsSPIProcessor() const { return FWhichCPU == MainPic || FWhichCPU == GraphicsPic || FWhichCPU == DatabasePic; }
    const char* ProcessorName() const;
    std::array<uint16_t, 16> ConfigurationBlock() const;
    void LogVerifyFailure(int Mismatch, const uint16_t* Expected, const uint16_t* Actual, std::string* Report = nullptr);
    bool ProgramSPIDevice(bool SkipVerify);
    bool ProgramSubPic(const tSubPicProtocol& P, bool SkipVerify, bool IgnoreFlush);
    void BlankSubPic(const tSubPicProtocol& P);
    bool VerifySPIDevice(std::string& Report);
    bool VerifySubPic(const tSubPicProtocol& P, std::string& Report);
    bool ReadSPIConfiguration(const char* Line, std::array<uint16_t, 16>& Config);
};

// The message of a broken link: the program must stop.
extern const char* const CommsStoppedMessage;
