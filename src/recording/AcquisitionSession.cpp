#include "recording/AcquisitionSession.h"

#include <utility>

#include "recording/RunDisplay.h"
#include "recording/RunWriter.h"
#include "recording/SampleReader.h"

namespace corvane {

AcquisitionSession::AcquisitionSession(SessionSeams seams, std::filesystem::path workingFolder)
    : seams_(std::move(seams)), folder_(std::move(workingFolder)) {}

AcquisitionSession::~AcquisitionSession() { destroyAcquisition(); }

void AcquisitionSession::destroyReader() {
    std::unique_ptr<SampleReader> reader;
    std::unique_ptr<RunWriter> writer;
    {
        const std::scoped_lock lock(mutex_);
        debug_.reset();
        reader = std::move(reader_);
        writer = std::move(writer_);
    }
    // The reader first: its link's threads end before the run file closes.
    reader.reset();
    writer.reset();
}

PacketDebugLink* AcquisitionSession::packetDebugLink() {
    const std::scoped_lock lock(mutex_);
    UvLink* current = reader_ != nullptr ? reader_->link() : nullptr;
    if (current == nullptr) {
        return nullptr;
    }
    if (debug_ == nullptr) {
        debug_ = std::make_unique<UvLinkPacketDebug>(*current);
    }
    return debug_.get();
}

void AcquisitionSession::setSampleHandler(SampleHandler* handler) {
    const std::scoped_lock lock(handlerMutex_);
    handler_ = handler;
}

void AcquisitionSession::onSample(const SampleRecord& record) {
    const std::scoped_lock lock(handlerMutex_);
    if (handler_ != nullptr) {
        handler_->onSample(record);
    }
}

void AcquisitionSession::connect(int comPort, int baudRate, int interByteDelayMs) {
    stopReceiveThread();
    comPort_.store(comPort);
    baudRate_ = baudRate > 0 ? static_cast<std::uint32_t>(baudRate) : 57600;
    interByteDelayMs_ = interByteDelayMs > 0 ? static_cast<std::uint32_t>(interByteDelayMs) : 0;
    connectResult_.reset();
    if (driver_ != nullptr) {
        ConnectionFlow flow({seams_.ports, seams_.bridge, seams_.clock, seams_.prompter,
                             driver_->display(), *this},
                            folder_, comPort, baudRate_);
        driver_->drive(flow);
        connectResult_ = flow.result();
    } else {
        // Nobody to show the steps to: make the acquisition object at once.
        createSampleReader(true, 0);
        connectResult_ = true;
    }
    startReceiveThread();
}

std::optional<bool> AcquisitionSession::connectResult() const { return connectResult_; }

bool AcquisitionSession::linkExists() const {
    const std::scoped_lock lock(mutex_);
    return reader_ != nullptr && reader_->link() != nullptr;
}

bool AcquisitionSession::linkActive() const {
    const std::scoped_lock lock(mutex_);
    return receive_ != nullptr && receive_->running();
}

bool AcquisitionSession::receiveThreadRunning() const {
    const std::scoped_lock lock(mutex_);
    return receive_ != nullptr && !receive_->ended();
}

bool AcquisitionSession::de1Source() const {
    const std::scoped_lock lock(mutex_);
    return reader_ != nullptr && reader_->hasDe1Source();
}

void AcquisitionSession::stopLink() {
    const std::scoped_lock lock(mutex_);
    if (reader_ != nullptr) {
        reader_->StopLink();
    }
    if (receive_ != nullptr) {
        receive_->requestStop();
    }
}

void AcquisitionSession::destroyAcquisition() {
    stopReceiveThread();
    destroyReader();
}

void AcquisitionSession::createSampleReader(bool useLink, BridgeHandle de1Handle) {
    // The old object lets go of the port before the new one opens it.
    destroyAcquisition();
    SampleReaderConfig config;
    config.workingFolder = folder_;
    config.comPort = comPort_.load();
    config.baudRate = baudRate_;
    config.useLink = useLink;
    config.de1Parameter = de1Handle;
    config.testFile = testFile_;
    config.interByteDelayMs = interByteDelayMs_;
    {
        const std::scoped_lock lock(mutex_);
        config.sourceFactors = sourceFactors_;
    }
    auto made = std::make_unique<SampleReader>(
        SampleReaderSeams{seams_.ports, seams_.bridge, seams_.clock, seams_.prompter, &seams_.window,
                          seams_.de1Events, seams_.startHeartbeatThread},
        std::move(config));
    auto writer = std::make_unique<RunWriter>(
        RunWriterSeams{seams_.prompter, seams_.clock, made->sampleLock(), made->link(),
                       RunFolders{folder_, folder_ / "TEMP"}, seams_.calendar});
    made->setRecordSink(writer.get());
    const std::scoped_lock lock(mutex_);
    reader_ = std::move(made);
    writer_ = std::move(writer);
}

void AcquisitionSession::destroySampleReader() { destroyAcquisition(); }

void AcquisitionSession::setSourceFactors(const std::array<double, 2>& factors) {
    const std::scoped_lock lock(mutex_);
    sourceFactors_ = factors;
}

bool AcquisitionSession::hasSampleReader() const {
    const std::scoped_lock lock(mutex_);
    return reader_ != nullptr;
}

UvLink* AcquisitionSession::link() {
    const std::scoped_lock lock(mutex_);
    return reader_ != nullptr ? reader_->link() : nullptr;
}

SampleReader* AcquisitionSession::reader() {
    const std::scoped_lock lock(mutex_);
    return reader_.get();
}

RunWriter* AcquisitionSession::runWriter() {
    const std::scoped_lock lock(mutex_);
    return writer_.get();
}

void AcquisitionSession::showPositionAndSpeed(double positionMm, double speedMmPerS) {
    if (RunDisplay* display = display_.load()) {
        display->showPositionAndSpeed(positionMm, speedMmPerS);
    }
}

void AcquisitionSession::setPositionOffset(double mm) {
    if (UvLink* l = link()) {
        l->SetPositionOffset(mm);
    }
}

bool AcquisitionSession::sendSettings(const Cmd0Bytes& packet) {
    UvLink* l = link();
    return l != nullptr && l->SendSettings(packet);
}

void AcquisitionSession::startReceiveThread() {
    const std::scoped_lock lock(mutex_);
    if (reader_ == nullptr || (receive_ != nullptr && !receive_->ended())) {
        return;
    }
    receive_.reset();
    receive_ = std::make_unique<ReceiveThread>(
        ReceiveSeams{seams_.clock, seams_.prompter, seams_.window, *this, holds_, writer_.get()},
        *reader_);
}

int AcquisitionSession::linkLossesReported() const {
    const std::scoped_lock lock(mutex_);
    return receive_ != nullptr ? receive_->lossesReported() : 0;
}

ReceiveThread::Silences AcquisitionSession::runSilences() const {
    const std::scoped_lock lock(mutex_);
    return receive_ != nullptr ? receive_->silences() : ReceiveThread::Silences{};
}

void AcquisitionSession::stopReceiveThread() {
    std::unique_ptr<ReceiveThread> thread;
    {
        const std::scoped_lock lock(mutex_);
        thread = std::move(receive_);
    }
    // Joined outside the lock: the thread's last turn may still ask for the
    // link through this object.
    thread.reset();
}

}  // namespace corvane
