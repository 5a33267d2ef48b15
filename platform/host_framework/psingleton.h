#pragma once

/**
 * @brief The one instance of T in the process, made on first use.
 *
 * T declares PSingleton<T> a friend so that its constructor and destructor can
 * stay private. The instance is a function-local static: its first
 * construction is thread-safe and it is destroyed by the exit handlers, in
 * reverse order of creation.
 */
template <typename T>
class PSingleton
{
public:
    static T& _instance()
    {
        static T instance;
        return instance;
    }

protected:
    PSingleton() = default;
    ~PSingleton() = default;
    PSingleton(const PSingleton&) = delete;
    PSingleton& operator=(const PSingleton&) = delete;
};
