// Runs one slow job per key on worker threads, a bounded distance ahead of a consumer that
// takes the results in key order on its own thread, so parallel work is applied serially.
#pragma once

#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

template <typename T> class OrderedPrefetch {
public:
    using Job = std::function<T(const QString& key)>;

    // Starts up to `parallel` workers; at most `lookahead` results wait untaken at a time.
    OrderedPrefetch(QStringList keys, int parallel, int lookahead, Job job)
        : m_keys(std::move(keys)), m_lookahead(std::max(1, lookahead)), m_job(std::move(job)),
          m_results(size_t(m_keys.size())) {
        const int workers = std::max(1, std::min<int>(parallel, int(m_keys.size())));
        for (int i = 0; i < workers && !m_keys.isEmpty(); ++i)
            m_workers.emplace_back([this] { work(); });
    }

    OrderedPrefetch(const OrderedPrefetch&) = delete;
    OrderedPrefetch& operator=(const OrderedPrefetch&) = delete;

    // Running jobs finish (each is bounded by its own timeout); no new one starts.
    ~OrderedPrefetch() {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        for (std::thread& worker : m_workers)
            worker.join();
    }

    // The result for key when key is still ahead of the consumer (results of keys it skips
    // are dropped); nothing when it is not, and the caller does the job itself. On the
    // interface thread the wait keeps painting the windows, without taking input.
    std::optional<T> take(const QString& key, Qt::CaseSensitivity cs = Qt::CaseInsensitive) {
        std::unique_lock lock(m_mutex);
        qsizetype index = -1;
        for (qsizetype i = m_consumed; i < m_keys.size(); ++i) {
            if (m_keys[i].compare(key, cs) == 0) {
                index = i;
                break;
            }
        }
        if (index < 0)
            return std::nullopt;
        for (qsizetype i = m_consumed; i < index; ++i)
            m_results[size_t(i)].reset();
        m_consumed = index;
        m_changed.notify_all();

        const bool interfaceThread = QCoreApplication::instance() &&
                                     QThread::currentThread() == QCoreApplication::instance()->thread();
        while (!m_results[size_t(index)]) {
            if (interfaceThread) {
                m_changed.wait_for(lock, std::chrono::milliseconds(30));
                lock.unlock();
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                lock.lock();
            } else {
                m_changed.wait(lock);
            }
        }
        std::optional<T> result = std::move(m_results[size_t(index)]);
        m_results[size_t(index)].reset();
        m_consumed = index + 1;
        m_changed.notify_all();
        return result;
    }

    // How many jobs have finished so far (taken or not).
    qsizetype finished() const {
        std::lock_guard lock(m_mutex);
        return m_finished;
    }

private:
    void work() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] {
                return m_stopping || m_next >= m_keys.size() || m_next < m_consumed + m_lookahead;
            });
            if (m_stopping || m_next >= m_keys.size())
                return;
            const qsizetype index = m_next++;
            if (index < m_consumed)
                continue; // the consumer has gone past it
            const QString key = m_keys[index];
            lock.unlock();
            std::optional<T> result(m_job(key));
            lock.lock();
            if (index >= m_consumed)
                m_results[size_t(index)] = std::move(result);
            ++m_finished;
            m_changed.notify_all();
        }
    }

    const QStringList m_keys;
    const qsizetype m_lookahead;
    const Job m_job;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::optional<T>> m_results;
    qsizetype m_next = 0;
    qsizetype m_consumed = 0;
    qsizetype m_finished = 0;
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};
