// Progress of one report (extraction and writing) as the report window's bar shows it.
#pragma once

class ReportProgress {
public:
    virtual ~ReportProgress() = default;

    double maximum() const { return m_maximum; }
    double value() const { return m_value; }
    void setMaximum(double maximum) {
        m_maximum = maximum;
        changed();
    }
    void setValue(double value) {
        m_value = value;
        changed();
    }

protected:
    // Called after every change; a window repaints here.
    virtual void changed() {}

private:
    double m_maximum = 100;
    double m_value = 0;
};
