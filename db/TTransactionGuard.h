#pragma once

class TIBTransaction;

// Statements that are saved together or not at all: the transaction is
// started unless it is already active, and it is rolled back when the scope
// is left without commit(), an exception included, so that nothing of a
// failed write stays behind to be committed with a later one.
class TTransactionGuard {
public:
    explicit TTransactionGuard(TIBTransaction& tr);
    ~TTransactionGuard();
    TTransactionGuard(const TTransactionGuard&) = delete;
    TTransactionGuard& operator=(const TTransactionGuard&) = delete;

    void commit();

private:
    TIBTransaction& m_tr;
};
