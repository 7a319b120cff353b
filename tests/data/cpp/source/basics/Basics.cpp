#include "_Basics.hpp"

#line 1 "Basics.vn"


// Implementation of functions

int counter=3;



int Counter::next(){
	(count)=((count)+(1));
	return count;
}int Counter::made=0;
#line 7
Counter::Counter():count(){
}
#line 7
Counter::Counter(int const VORN_argcount):count(VORN_argcount){
}





int twice(int const x){
	return (x)*(2);
}
int helper(int const x){
	return (x)-(1);
}




int eight() { return 8; }


int main(){
	Counter c;
	((c).count)=(0);
	(c).next();
	printf("%d %d %d %d\n",(c).next(),twice(4),helper(10),square(3));
	int n=0;
	while ((n)<(3)){
		(n)+=(1);}
	do{
		(n)-=(1);}while ((n)>(0));

	if ((n)==(0)){
		puts("zero");}
	else if ((n)==(1)){
		puts("one");}
	else{
		puts("other");}
	try{
		throw 42;}

	catch(int e){printf("caught %d\n",e);}
	Color k=green;
	printf("%d %d %d %d %d\n",(((k)+(1)))*(2),counter,seven(),eight(),Counter ::made);
	return 0;
}
