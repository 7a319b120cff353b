#include "_Main.hpp"

#line 1 "Main.vn"


// Implementation of functions

#line 2
int twice(int const n){
	return (n)*(2);
}
double half(double const x){
	return (x)/(2);
}
int main(){
	int i=42;
	double d=1.5;
	double h=.5;
	float f=2.5f;
	double e=1e3;
	long l=7L;
	int x=0x1F;
	const char* s="text";
	char c='c';
	bool b=(i)==(42);
	int t=twice(i);
	double u=half(d);
	int p=(((i)+(1)))*(2);
	int * q=&(i);
	int r=*(q);
	int w=(b)?(i):(0);
	printf("%d %g %g %g %g %ld %d\n",i,d,h,f,e,l,x);
	printf("%s %c %d %d %g %d %d %d\n",s,c,b,t,u,p,r,w);
	return 0;
}
